#include "State/CatalogSearch.h"

#include "State/TextFold.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace sendra {

namespace {

// Results kept per snapshot: a typed word needs one per keystroke. Their positions together stay within a few
// times the visible entries, however many queries come.
constexpr size_t keptResults = 32;
constexpr size_t keptPositionsPerEntry = 4;
constexpr uint8_t noHit = 5;

uint8_t titleRank(std::string_view title, std::string_view query)
{
    if (title.size() < query.size())
        return noHit;
    if (title.compare(0, query.size(), query) == 0)
        return title.size() == query.size() ? 0 : 1;
    return title.find(query) != std::string_view::npos ? 2 : noHit;
}

uint8_t groupRank(std::string_view group, std::string_view query)
{
    if (group.starts_with(query))
        return 3;
    return group.find(query) != std::string_view::npos ? 4 : noHit;
}

// Sorts by the upper 32 bits (rank and title rank, unique per entry): four byte-wide counting passes, far
// cheaper than comparisons for the hundred thousand hits of a one-letter query.
void sortByHighHalf(std::vector<uint64_t>& keys)
{
    std::vector<uint64_t> buffer(keys.size());
    for (int shift = 32; shift < 64; shift += 8) {
        std::array<size_t, 257> start{};
        for (uint64_t key : keys)
            ++start[((key >> shift) & 0xFF) + 1];
        std::partial_sum(start.begin(), start.end(), start.begin());
        for (uint64_t key : keys)
            buffer[start[(key >> shift) & 0xFF]++] = key;
        keys.swap(buffer);
    }
}

} // namespace

CatalogSearch::CatalogSearch(std::shared_ptr<const CatalogSnapshot> snapshot)
    : m_snapshot(std::move(snapshot))
{
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
    for (size_t n = 0; n < nameRank.size(); ++n)
        nameRank[n] = groupRank(entries.names()[n].foldedUtf8, query);

    // Every hit of this query is a hit of any kept query it contains. Those hits come in result order, which
    // reads the titles out of order: worth it only when they are few.
    const Kept* narrower = narrowestContaining(query);
    const bool narrow = narrower && narrower->positions->size() * 4 < snapshot.visibleCount();
    const std::span<const uint32_t> candidates =
        narrow ? std::span<const uint32_t>(*narrower->positions) : snapshot.visiblePositions();

    // Title ranks are unique, so (rank, title rank) orders the hits completely; the position rides along.
    std::vector<uint64_t> keys;
    for (uint32_t p : candidates) {
        uint8_t rank = titleRank(entries.foldedTitle(p), query);
        if (rank == noHit)
            rank = nameRank[entries.nameOf(p)];
        if (rank != noHit)
            keys.push_back(uint64_t(rank) << 61 | uint64_t(entries.titleRank(p)) << 32 | p);
    }
    sortByHighHalf(keys);
    auto positions = std::make_shared<std::vector<uint32_t>>(keys.size());
    std::transform(keys.begin(), keys.end(), positions->begin(), [](uint64_t key) { return uint32_t(key); });
    return positions;
}

} // namespace sendra
