#include "State/CatalogSearch.h"

#include "State/TextFold.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sendra {

namespace {

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
    bool test(uint32_t p) const { return m_words[p >> 6] & (uint64_t(1) << (p & 63)); }
    // Calls f(position) for every set bit, in position order.
    template <class F>
    void forEach(F&& f) const
    {
        for (size_t w = 0; w < m_words.size(); ++w) {
            for (uint64_t word = m_words[w]; word != 0; word &= word - 1)
                f(uint32_t(w * 64 + size_t(std::countr_zero(word))));
        }
    }

private:
    std::vector<uint64_t> m_words;
};

// The hits by rank and title rank, one bit each. Title ranks are unique, so reading the bits in order gives the
// result order (rank, then title order, then catalogue order) without a sort.
class HitBits
{
public:
    explicit HitBits(uint32_t count) : m_words((size_t(count) + 63) / 64)
    {
        for (std::vector<uint64_t>& bits : m_bits)
            bits.assign(m_words, 0);
    }

    void add(uint8_t rank, uint32_t titleRank)
    {
        m_bits[rank][titleRank >> 6] |= uint64_t(1) << (titleRank & 63);
        ++m_count;
    }

    std::vector<uint32_t> positions(const CatalogEntries& entries) const
    {
        std::vector<uint32_t> out(m_count);
        size_t next = 0;
        for (const std::vector<uint64_t>& bits : m_bits) {
            for (size_t w = 0; w < m_words; ++w) {
                for (uint64_t word = bits[w]; word != 0; word &= word - 1)
                    out[next++] = entries.positionOfTitleRank(uint32_t(w * 64 + size_t(std::countr_zero(word))));
            }
        }
        return out;
    }

private:
    size_t m_words;
    size_t m_count = 0;
    std::array<std::vector<uint64_t>, 5> m_bits;
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

// The title ranks (0 equal, 1 begins with the query, 2 holds it further on) of every title that holds the query,
// found by reading all folded titles as one text: for queries whose anchors are rare, most of the text is passed
// over sixteen bytes at a time. Calls found(position, rank) in catalogue order.
template <class Found>
void scanText(const CatalogEntries& entries, std::string_view query, const Anchors& anchors, Found&& found)
{
    const std::span<const uint32_t> starts = entries.titleStarts();
    const std::string_view text = entries.foldedTitles();
    const size_t m = query.size();
    const size_t titles = starts.size() - 1;
    if (text.size() < m)
        return;
    const char* const data = text.data();
    const size_t last = text.size() - m; // the last place a match can start
    size_t title = 0;
    size_t skipUntil = 0; // the end of the last title found: it is not looked at again
    auto candidate = [&](size_t at) {
        if (starts[title + 1] <= at) {
            if (title + 8 < titles && starts[title + 8] <= at)
                title = size_t(std::upper_bound(starts.begin() + qsizetype(title) + 8, starts.end(), uint32_t(at)) -
                               starts.begin()) -
                        1;
            else
                while (starts[title + 1] <= at)
                    ++title;
        }
        const size_t end = starts[title + 1];
        if (at + m > end || (!anchors.whole && std::memcmp(data + at, query.data(), m) != 0))
            return;
        found(uint32_t(title), uint8_t(at != starts[title] ? 2 : end - at == m ? 0 : 1));
        skipUntil = end;
    };

    size_t at = 0;
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
void scanTitles(const CatalogEntries& entries, std::string_view query, const Anchors& anchors, Found&& found)
{
    const TitleMatcher matcher(entries, query, anchors);
    for (uint32_t p = 0; p < entries.size(); ++p) {
        if (const uint8_t rank = matcher.rank(p); rank != noHit)
            found(p, rank);
    }
}

// Every hit of a one-byte query (an ASCII byte, as folding leaves it), from the entries' title bytes: a title
// is read only where its byte shares a bit with others. Each entry's rank is written at its title rank, then
// each rank's hits are gathered from those bytes in title order, sixteen at a time, so no hit is sorted.
std::vector<uint32_t> oneByteResults(const CatalogSnapshot& snapshot, char byte, const std::vector<uint8_t>& nameRank,
                                     bool anyName)
{
    const CatalogEntries& entries = snapshot.entries();
    const uint32_t count = entries.size();
    const uint32_t bit = CatalogEntries::asciiBit(uint8_t(byte));
    const bool exact = CatalogEntries::asciiBitIsExact(uint8_t(byte));
    std::vector<uint8_t> rankAt(count); // by title rank
    std::array<uint32_t, noHit + 1> perRank{};
    for (uint32_t p = 0; p < count; ++p) {
        const bool inTitle =
            (entries.titleBytes(p) & bit) && (exact || entries.foldedTitle(p).find(byte) != std::string_view::npos);
        uint8_t rank = anyName ? nameRank[entries.nameOf(p)] : noHit;
        if (inTitle)
            rank = entries.firstTitleByte(p) != uint8_t(byte) ? 2 : entries.foldedTitle(p).size() == 1 ? 0 : 1;
        if (!snapshot.isVisible(p))
            rank = noHit;
        rankAt[entries.titleRank(p)] = rank;
        ++perRank[rank];
    }
    size_t total = 0;
    for (size_t r = 0; r < noHit; ++r)
        total += perRank[r];
    std::vector<uint32_t> out(total);
    size_t next = 0;
    for (uint8_t r = 0; r < noHit; ++r) {
        if (perRank[r] == 0)
            continue;
        uint32_t t = 0;
#if defined(__SSE2__)
        const __m128i wanted = _mm_set1_epi8(char(r));
        for (; t + 16 <= count; t += 16) {
            const __m128i ranks = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rankAt.data() + t));
            for (auto mask = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(ranks, wanted))); mask != 0; mask &= mask - 1)
                out[next++] = entries.positionOfTitleRank(t + uint32_t(std::countr_zero(mask)));
        }
#endif
        for (; t < count; ++t) {
            if (rankAt[t] == r)
                out[next++] = entries.positionOfTitleRank(t);
        }
    }
    return out;
}

} // namespace

CatalogSearch::CatalogSearch(std::shared_ptr<const CatalogSnapshot> snapshot) : m_snapshot(std::move(snapshot))
{}

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

    if (query.size() == 1 && uint8_t(query[0]) < 0x80)
        return std::make_shared<const std::vector<uint32_t>>(oneByteResults(snapshot, query[0], nameRank, anyName));

    HitBits hits(entries.size());
    // Every hit of this query is a hit of any kept query it contains: when those are few, only they are tested.
    const Kept* narrower = narrowestContaining(query);
    if (narrower && narrower->positions->size() * 4 < snapshot.visibleCount()) {
        // Kept hits come by rank and title order: their titles are read in catalogue order instead, one pass
        // through the text rather than a jump per hit.
        PositionBits kept(entries.size());
        for (uint32_t p : *narrower->positions)
            kept.set(p);
        const Anchors anchors(entries, query);
        const TitleMatcher matcher(entries, query, anchors);
        kept.forEach([&](uint32_t p) {
            uint8_t rank = matcher.rank(p);
            if (rank == noHit && anyName)
                rank = nameRank[entries.nameOf(p)];
            if (rank != noHit)
                hits.add(rank, entries.titleRank(p));
        });
        return std::make_shared<const std::vector<uint32_t>>(hits.positions(entries));
    }

    PositionBits titleHit(entries.size());
    auto found = [&](uint32_t p, uint8_t rank) {
        if (!snapshot.isVisible(p))
            return;
        hits.add(rank, entries.titleRank(p));
        titleHit.set(p);
    };
    const Anchors anchors(entries, query);
    // Past one anchor in two titles, a scan of the one text would stop in most titles.
    if (size_t(entries.byteCount(uint8_t(query[anchors.rarest]))) * 2 > entries.size())
        scanTitles(entries, query, anchors, found);
    else
        scanText(entries, query, anchors, found);
    // Group names, for the entries whose title holds nothing: a group whose entries share one name is passed
    // over when that name holds nothing.
    if (anyName) {
        const std::vector<CatalogEntries::Group>& groups = entries.groups();
        std::vector<uint32_t> named;
        size_t members = 0;
        for (uint32_t g = 0; g < groups.size(); ++g) {
            const uint32_t only = groups[g].onlyName;
            if (only == CatalogEntries::Group::severalNames || nameRank[only] != noHit) {
                named.push_back(g);
                members += snapshot.positionsOfGroup(g).size();
            }
        }
        auto byName = [&](uint32_t p) {
            const uint8_t rank = nameRank[entries.nameOf(p)];
            if (rank != noHit && !titleHit.test(p))
                hits.add(rank, entries.titleRank(p));
        };
        // A group's entries are spread over the catalogue: when the groups hold many, one pass in catalogue order
        // reads less memory than the groups one by one.
        if (members * 4 > entries.size()) {
            for (uint32_t p = 0; p < entries.size(); ++p) {
                if (snapshot.isVisible(p))
                    byName(p);
            }
        } else {
            for (uint32_t g : named) {
                for (uint32_t p : snapshot.positionsOfGroup(g))
                    byName(p);
            }
        }
    }
    return std::make_shared<const std::vector<uint32_t>>(hits.positions(entries));
}

} // namespace sendra
