#include "State/CatalogSearch.h"

#include "State/TextFold.h"

#include "NetKit/Workers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sendra {

namespace {

using netkit::leastPerThread;
using netkit::Range;
using netkit::splitForThreads;

// Results kept per snapshot: a typed word needs one per keystroke. Their positions together stay within a few
// times the visible entries, however many queries come.
constexpr size_t keptResults = 32;
constexpr size_t keptPositionsPerEntry = 4;
constexpr uint8_t noHit = 5;

uint8_t groupRank(std::string_view group, std::string_view query)
{
    if (group.starts_with(query))
        return 3;
    return group.find(query) != std::string_view::npos ? 4 : noHit;
}

// One bit per entry, by position.
class PositionBits
{
public:
    explicit PositionBits(uint32_t count) : m_words((size_t(count) + 63) / 64, 0) {}
    void set(uint32_t p) { m_words[p >> 6] |= uint64_t(1) << (p & 63); }
    // Calls f(position) for every set bit in [first, end), in position order.
    template <class F>
    void forEach(uint32_t first, uint32_t end, F&& f) const
    {
        if (first >= end)
            return;
        const size_t last = (end - 1) >> 6;
        for (size_t w = first >> 6; w <= last; ++w) {
            uint64_t word = m_words[w];
            if (w == first >> 6)
                word &= ~uint64_t(0) << (first & 63);
            if (w == last && (end & 63) != 0)
                word &= ~(~uint64_t(0) << (end & 63));
            for (; word != 0; word &= word - 1)
                f(uint32_t(w * 64 + size_t(std::countr_zero(word))));
        }
    }

private:
    std::vector<uint64_t> m_words;
};

// What the title scans compare: two places of the query, those of its rarest bytes in the catalogue's titles,
// picked sixteen candidate places at a time; a candidate is then compared whole unless those two are the query.
struct Anchors {
    size_t rarest = 0;
    size_t second = 0;
    bool whole = false;

    Anchors(const CatalogEntries& entries, std::string_view query)
    {
        const size_t m = query.size();
        auto count = [&](size_t i) { return entries.byteCount(uint8_t(query[i])); };
        for (size_t i = 1; i < m; ++i) {
            if (count(i) < count(rarest))
                rarest = i;
        }
        // The second of another byte value where there is one.
        second = rarest == m - 1 ? 0 : m - 1;
        for (size_t i = 0; i < m; ++i) {
            if (i != rarest && query[i] != query[rarest] &&
                (query[second] == query[rarest] || count(i) < count(second)))
                second = i;
        }
        whole = m == 1 || (m == 2 && query[0] != query[1]);
    }
};

#if defined(__SSE2__)
// Bit i: the query's anchor bytes stand at at + i.
uint32_t candidates(const char* at, const Anchors& anchors, __m128i rarest, __m128i second)
{
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + anchors.rarest));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + anchors.second));
    return uint32_t(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, rarest), _mm_cmpeq_epi8(b, second))));
}
#endif

// The title ranks (0 equal, 1 begins with the query, 2 holds it further on) of every title in [first, end) that
// holds the query, found by reading those folded titles as one text: for queries whose anchors are rare, most of the
// text is passed over sixteen bytes at a time. Calls found(position, rank) in catalogue order.
template <class Found>
void scanText(const CatalogEntries& entries, std::string_view query, const Anchors& anchors, uint32_t first,
              uint32_t end, Found&& found)
{
    const std::span<const uint32_t> starts = entries.titleStarts();
    const char* const data = entries.foldedTitles().data();
    const size_t m = query.size();
    const size_t textEnd = starts[end];
    if (textEnd - starts[first] < m)
        return;
    const size_t last = textEnd - m; // the last place a match can start
    size_t title = first;
    size_t skipUntil = 0; // the end of the last title found: it is not looked at again
    auto candidate = [&](size_t at) {
        if (starts[title + 1] <= at) {
            if (title + 8 < end && starts[title + 8] <= at)
                title = size_t(std::upper_bound(starts.begin() + qsizetype(title) + 8,
                                                starts.begin() + qsizetype(end) + 1, uint32_t(at)) -
                               starts.begin()) -
                        1;
            else
                while (starts[title + 1] <= at)
                    ++title;
        }
        const size_t titleEnd = starts[title + 1];
        if (at + m > titleEnd || (!anchors.whole && std::memcmp(data + at, query.data(), m) != 0))
            return;
        found(uint32_t(title), uint8_t(at != starts[title] ? 2 : titleEnd - at == m ? 0 : 1));
        skipUntil = titleEnd;
    };

    size_t at = starts[first];
#if defined(__SSE2__)
    const __m128i rarest = _mm_set1_epi8(query[anchors.rarest]);
    const __m128i second = _mm_set1_epi8(query[anchors.second]);
    while (at + 16 <= last + 1) {
        for (uint32_t mask = candidates(data + at, anchors, rarest, second); mask != 0; mask &= mask - 1) {
            const size_t place = at + size_t(std::countr_zero(mask));
            if (place >= skipUntil)
                candidate(place);
        }
        at = std::max(at + 16, skipUntil);
    }
#endif
    for (; at <= last; ++at) {
        if (at >= skipUntil && data[at + anchors.rarest] == query[anchors.rarest] &&
            data[at + anchors.second] == query[anchors.second])
            candidate(at);
    }
}

// The title rank (0 equal, 1 begins with the query, 2 holds it further on) of one title, or noHit: sixteen
// candidate places at a time, reading up to sixteen bytes past a place (into the titles after it, never past the
// text).
class TitleMatcher
{
public:
    TitleMatcher(const CatalogEntries& entries, std::string_view query, const Anchors& anchors)
        : m_starts(entries.titleStarts()), m_data(entries.foldedTitles().data()),
          m_textSize(entries.foldedTitles().size()), m_query(query), m_anchors(anchors)
#if defined(__SSE2__)
          ,
          m_rarest(_mm_set1_epi8(query[anchors.rarest])), m_second(_mm_set1_epi8(query[anchors.second]))
#endif
    {}

    uint8_t rank(uint32_t p) const
    {
        const size_t start = m_starts[p];
        const size_t end = m_starts[p + 1];
        const size_t m = m_query.size();
        if (end - start < m)
            return noHit;
        const size_t last = end - m;
        auto rankAt = [&](size_t at) { return uint8_t(at != start ? 2 : end - start == m ? 0 : 1); };
        size_t at = start;
#if defined(__SSE2__)
        for (; at <= last && at + 15 + m <= m_textSize; at += 16) {
            uint32_t mask = candidates(m_data + at, m_anchors, m_rarest, m_second);
            if (last - at < 15)
                mask &= (uint32_t(1) << (last - at + 1)) - 1;
            for (; mask != 0; mask &= mask - 1) {
                const size_t place = at + size_t(std::countr_zero(mask));
                if (matches(place))
                    return rankAt(place);
            }
        }
#endif
        for (; at <= last; ++at) {
            if (m_data[at + m_anchors.rarest] == m_query[m_anchors.rarest] &&
                m_data[at + m_anchors.second] == m_query[m_anchors.second] && matches(at))
                return rankAt(at);
        }
        return noHit;
    }

private:
    bool matches(size_t at) const
    {
        return m_anchors.whole || std::memcmp(m_data + at, m_query.data(), m_query.size()) == 0;
    }

    std::span<const uint32_t> m_starts;
    const char* m_data;
    size_t m_textSize;
    std::string_view m_query;
    const Anchors& m_anchors;
#if defined(__SSE2__)
    __m128i m_rarest;
    __m128i m_second;
#endif
};

// The same, title by title: for queries whose anchors are common (a single letter), when most titles hold them
// and the scan of one text would stop in nearly every title anyway.
template <class Found>
void scanTitles(const CatalogEntries& entries, std::string_view query, const Anchors& anchors, uint32_t first,
                uint32_t end, Found&& found)
{
    const TitleMatcher matcher(entries, query, anchors);
    for (uint32_t p = first; p < end; ++p) {
        if (const uint8_t rank = matcher.rank(p); rank != noHit)
            found(p, rank);
    }
}

// The rank of a one-byte query (an ASCII byte, as folding leaves it) for the entries in [first, end), from their
// title bytes: a title is read only where its byte shares a bit with others.
void rankOneByte(const CatalogSnapshot& snapshot, char byte, const std::vector<uint8_t>& nameRank, bool anyName,
                 uint32_t first, uint32_t end, uint8_t* rankOf)
{
    const CatalogEntries& entries = snapshot.entries();
    const uint32_t bit = CatalogEntries::asciiBit(uint8_t(byte));
    const bool exact = CatalogEntries::asciiBitIsExact(uint8_t(byte));
    for (uint32_t p = first; p < end; ++p) {
        const bool inTitle =
            (entries.titleBytes(p) & bit) && (exact || entries.foldedTitle(p).find(byte) != std::string_view::npos);
        uint8_t rank = anyName ? nameRank[entries.nameOf(p)] : noHit;
        if (inTitle)
            rank = entries.firstTitleByte(p) != uint8_t(byte) ? 2 : entries.foldedTitle(p).size() == 1 ? 0 : 1;
        rankOf[p] = snapshot.isVisible(p) ? rank : noHit;
    }
}

// The hits by rank and title rank, written by the threads of a fresh search at once: each range of positions sets
// bits of its own, which are then joined. Reading the joined bits in order gives the result order, without a sort.
class SharedHitBits
{
public:
    SharedHitBits(uint32_t count, size_t parts, std::vector<uint64_t>& storage)
        : m_words((size_t(count) + 63) / 64), m_parts(parts), m_storage(storage)
    {
        m_storage.resize(m_parts * noHit * m_words);
    }

    // Sets the part's bits for the hits among positions [first, end), whose ranks rankOf holds.
    void add(const CatalogEntries& entries, size_t part, uint32_t first, uint32_t end, const uint8_t* rankOf)
    {
        uint64_t* bits = bitsOf(part, 0);
        std::fill(bits, bits + noHit * m_words, 0);
        uint32_t p = first;
        auto one = [&](uint32_t position) {
            if (const uint8_t r = rankOf[position]; r != noHit) {
                const uint32_t t = entries.titleRank(position);
                bits[r * m_words + (t >> 6)] |= uint64_t(1) << (t & 63);
            }
        };
#if defined(__SSE2__)
        const __m128i none = _mm_set1_epi8(char(noHit));
        for (; p + 16 <= end; p += 16) {
            const __m128i ranks = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rankOf + p));
            for (auto hit = uint32_t(~_mm_movemask_epi8(_mm_cmpeq_epi8(ranks, none))) & 0xFFFF; hit != 0;
                 hit &= hit - 1)
                one(p + uint32_t(std::countr_zero(hit)));
        }
#endif
        for (; p < end; ++p)
            one(p);
    }

    // Every part's hits joined, in result order: a range of words per thread counts the hits of each rank in its
    // words, then writes them at their place. Hits of one part (a narrowing, a small catalogue) are few and their
    // words read once: waking threads for them costs more than the work.
    std::vector<uint32_t> positions(const CatalogEntries& entries) const
    {
        const std::vector<Range> ranges =
            m_parts == 1 ? std::vector<Range>{{0, uint32_t(m_words)}} : splitForThreads(uint32_t(m_words), 512);
        std::vector<std::array<size_t, noHit>> count(ranges.size());
        netkit::searchPool().forEach(ranges, [&](size_t range, uint32_t first, uint32_t end) {
            std::array<size_t, noHit> n{};
            for (size_t r = 0; r < noHit; ++r) {
                uint64_t* joined = bitsOf(0, r);
                for (uint32_t w = first; w < end; ++w) {
                    uint64_t word = joined[w];
                    for (size_t part = 1; part < m_parts; ++part)
                        word |= bitsOf(part, r)[w];
                    joined[w] = word;
                    if (word != 0)
                        n[r] += size_t(std::popcount(word));
                }
            }
            count[range] = n;
        });
        size_t total = 0;
        for (size_t r = 0; r < noHit; ++r) {
            for (std::array<size_t, noHit>& n : count)
                total += std::exchange(n[r], total);
        }
        std::vector<uint32_t> out(total);
        if (total == 0)
            return out;
        netkit::searchPool().forEach(ranges, [&](size_t range, uint32_t first, uint32_t end) {
            for (size_t r = 0; r < noHit; ++r) {
                const uint64_t* joined = bitsOf(0, r);
                size_t next = count[range][r];
                for (uint32_t w = first; w < end; ++w) {
                    for (uint64_t word = joined[w]; word != 0; word &= word - 1)
                        out[next++] = entries.positionOfTitleRank(w * 64 + uint32_t(std::countr_zero(word)));
                }
            }
        });
        return out;
    }

private:
    uint64_t* bitsOf(size_t part, size_t rank) const { return m_storage.data() + (part * noHit + rank) * m_words; }

    size_t m_words;
    size_t m_parts;
    std::vector<uint64_t>& m_storage;
};

} // namespace

CatalogSearch::CatalogSearch(std::shared_ptr<const CatalogSnapshot> snapshot) : m_snapshot(std::move(snapshot))
{
    // The first keystroke over a large catalogue should not wait for its threads to start.
    if (m_snapshot->entries().size() >= 2 * leastPerThread())
        netkit::searchPool().warmUp();
}

NodeView CatalogSearch::results(const QString& query)
{
    const std::string folded = foldedUtf8(query);
    if (folded.empty())
        return NodeView(m_snapshot, std::span<const uint32_t>());
    const auto kept = std::find_if(m_kept.begin(), m_kept.end(), [&](const Kept& k) { return k.query == folded; });
    if (kept != m_kept.end()) {
        m_kept.splice(m_kept.begin(), m_kept, kept);
        return NodeView(m_snapshot, m_kept.front().positions);
    }
    Positions positions = compute(folded);
    m_kept.push_front({folded, positions});
    m_keptPositions += positions->size();
    const size_t budget = keptPositionsPerEntry * std::max<size_t>(m_snapshot->visibleCount(), 1);
    while (m_kept.size() > 1 && (m_kept.size() > keptResults || m_keptPositions > budget)) {
        m_keptPositions -= m_kept.back().positions->size();
        m_kept.pop_back();
    }
    return NodeView(m_snapshot, std::move(positions));
}

const CatalogSearch::Kept* CatalogSearch::narrowestContaining(const std::string& query) const
{
    const Kept* best = nullptr;
    for (const Kept& k : m_kept) {
        if (query.find(k.query) != std::string::npos && (!best || k.positions->size() < best->positions->size()))
            best = &k;
    }
    return best;
}

CatalogSearch::Positions CatalogSearch::compute(const std::string& query)
{
    const CatalogSnapshot& snapshot = *m_snapshot;
    const CatalogEntries& entries = snapshot.entries();

    std::vector<uint8_t> nameRank(entries.names().size());
    bool anyName = false;
    for (size_t n = 0; n < nameRank.size(); ++n) {
        nameRank[n] = groupRank(entries.names()[n].foldedUtf8, query);
        anyName = anyName || nameRank[n] != noHit;
    }

    // Every hit of this query is a hit of any kept query it contains: when those are few, only they are tested.
    // Kept hits come by rank and title order: their titles are read in catalogue order instead, one pass through
    // the text rather than a jump per hit.
    const Kept* narrower = narrowestContaining(query);
    std::optional<PositionBits> only;
    if (narrower && narrower->positions->size() * 4 < snapshot.visibleCount()) {
        only.emplace(entries.size());
        for (uint32_t p : *narrower->positions)
            only->set(p);
    }

    // Every entry's rank (or every kept one's), a range of entries per thread (one range for a narrowing too small
    // to share out), then the hits in result order.
    std::vector<uint8_t> rankOf(entries.size());
    const std::vector<Range> ranges = only && narrower->positions->size() < 2 * size_t(leastPerThread())
                                          ? std::vector<Range>{{0, entries.size()}}
                                          : splitForThreads(entries.size());
    SharedHitBits hits(entries.size(), ranges.size(), m_scratch);
    if (!only && query.size() == 1 && uint8_t(query[0]) < 0x80) {
        netkit::searchPool().forEach(ranges, [&](size_t part, uint32_t first, uint32_t end) {
            rankOneByte(snapshot, query[0], nameRank, anyName, first, end, rankOf.data());
            hits.add(entries, part, first, end, rankOf.data());
        });
        return std::make_shared<const std::vector<uint32_t>>(hits.positions(entries));
    }
    const Anchors anchors(entries, query);
    // Past one anchor in two titles, a scan of the one text would stop in most titles.
    const bool titleByTitle = size_t(entries.byteCount(uint8_t(query[anchors.rarest]))) * 2 > entries.size();
    netkit::searchPool().forEach(ranges, [&](size_t part, uint32_t first, uint32_t end) {
        uint8_t* rank = rankOf.data();
        if (only) {
            std::memset(rank + first, noHit, end - first);
            const TitleMatcher matcher(entries, query, anchors);
            only->forEach(first, end, [&](uint32_t p) {
                rank[p] = matcher.rank(p);
                if (rank[p] == noHit && anyName)
                    rank[p] = nameRank[entries.nameOf(p)];
            });
            hits.add(entries, part, first, end, rank);
            return;
        }
        // The group name's rank, unless the title holds the query.
        if (anyName) {
            for (uint32_t p = first; p < end; ++p)
                rank[p] = snapshot.isVisible(p) ? nameRank[entries.nameOf(p)] : noHit;
        } else {
            std::memset(rank + first, noHit, end - first);
        }
        auto found = [&](uint32_t p, uint8_t r) {
            if (snapshot.isVisible(p))
                rank[p] = r;
        };
        if (titleByTitle)
            scanTitles(entries, query, anchors, first, end, found);
        else
            scanText(entries, query, anchors, first, end, found);
        hits.add(entries, part, first, end, rank);
    });
    return std::make_shared<const std::vector<uint32_t>>(hits.positions(entries));
}

} // namespace sendra
