#include "Domain/SpotlightCatalog.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <optional>

namespace sendra {

namespace {

constexpr int randomDraws = 12;

// UTF-16 order differs from code-point order only between surrogates and the units above them; moving the
// surrogates to the top gives code-point order.
char16_t codePointRank(char16_t unit)
{
    if (unit >= 0xE000)
        return char16_t(unit - 0x800);
    if (unit >= 0xD800)
        return char16_t(unit + 0x2000);
    return unit;
}

bool codePointLess(const QString& a, const QString& b)
{
    return std::lexicographical_compare(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](QChar x, QChar y) {
        return codePointRank(x.unicode()) < codePointRank(y.unicode());
    });
}

template <class T>
void shuffle(std::vector<T>& items, QRandomGenerator& random)
{
    for (size_t i = 0; i + 1 < items.size(); ++i)
        std::swap(items[i], items[i + random.bounded(quint32(items.size() - i))]);
}

// The node keys to avoid as ids per kind, so that a test builds no text.
class AvoidedKeys {
public:
    explicit AvoidedKeys(const QSet<QString>& keys)
    {
        for (const QString& key : keys) {
            const qsizetype colon = key.indexOf(u':');
            if (colon < 0)
                continue;
            if (const std::optional<SignalKind> kind = signalKindFromStored(key.left(colon)))
                m_ids[size_t(*kind)].insert(key.mid(colon + 1));
        }
    }

    bool contains(const MediaNode& node) const { return m_ids[size_t(node.kind)].contains(node.id); }

private:
    std::array<QSet<QString>, allSignalKinds.size()> m_ids;
};

class Draw {
public:
    Draw(const SpotlightCatalog& catalog, qsizetype limit, const QSet<QString>& avoiding, QRandomGenerator& random)
        : m_catalog(catalog)
        , m_limit(size_t(limit))
        , m_avoiding(avoiding)
        , m_random(random)
    {
    }

    std::vector<uint32_t> run()
    {
        std::vector<SignalKind> kinds;
        for (const SignalKind kind : allSignalKinds) {
            if (!m_catalog.groups(kind).empty())
                kinds.push_back(kind);
        }
        shuffle(kinds, m_random);
        for (const SignalKind kind : kinds) {
            std::vector<size_t>& order = m_order[size_t(kind)];
            order.resize(m_catalog.groups(kind).size());
            std::iota(order.begin(), order.end(), size_t(0));
            shuffle(order, m_random);
        }
        for (const bool refuseAvoided : {true, false}) {
            if (full() || kinds.empty())
                continue;
            while (!full() && sweep(kinds, refuseAvoided)) {
            }
        }
        return m_result;
    }

private:
    bool full() const { return m_result.size() >= m_limit; }

    // One round over the kinds, each giving at most one entry; false when none gave any.
    bool sweep(const std::vector<SignalKind>& kinds, bool refuseAvoided)
    {
        bool contributed = false;
        for (const SignalKind kind : kinds) {
            if (full())
                continue;
            const std::vector<SpotlightCatalog::Group>& groups = m_catalog.groups(kind);
            const std::vector<size_t>& order = m_order[size_t(kind)];
            size_t& cursor = m_cursor[size_t(kind)];
            for (size_t attempt = 0; attempt < groups.size(); ++attempt) {
                const size_t group = order[cursor++ % groups.size()];
                if (const std::optional<uint32_t> found = candidate(groups[group], refuseAvoided)) {
                    m_result.push_back(*found);
                    m_used.insert(*found);
                    contributed = true;
                    break;
                }
            }
        }
        return contributed;
    }

    bool acceptable(uint32_t position, bool refuseAvoided) const
    {
        return !m_used.contains(position) && !(refuseAvoided && m_avoiding.contains(m_catalog.nodes()[position]));
    }

    std::optional<uint32_t> candidate(const SpotlightCatalog::Group& group, bool refuseAvoided)
    {
        for (int draw = 0; draw < randomDraws; ++draw) {
            const uint32_t position = group[m_random.bounded(quint32(group.size()))];
            if (acceptable(position, refuseAvoided))
                return position;
        }
        for (const uint32_t position : group) {
            if (acceptable(position, refuseAvoided))
                return position;
        }
        return std::nullopt;
    }

    const SpotlightCatalog& m_catalog;
    const size_t m_limit;
    const AvoidedKeys m_avoiding;
    QRandomGenerator& m_random;
    std::array<std::vector<size_t>, allSignalKinds.size()> m_order;
    std::array<size_t, allSignalKinds.size()> m_cursor{};
    std::vector<uint32_t> m_result;
    // Positions stand for node keys: the catalogue holds each node key once.
    QSet<uint32_t> m_used;
};

std::vector<uint32_t> allPositions(qsizetype count)
{
    std::vector<uint32_t> positions(static_cast<size_t>(count));
    std::iota(positions.begin(), positions.end(), uint32_t(0));
    return positions;
}

} // namespace

SpotlightCatalog::SpotlightCatalog(QList<MediaNode> nodes)
    : SpotlightCatalog(nodes, allPositions(nodes.size()))
{
}

SpotlightCatalog::SpotlightCatalog(QList<MediaNode> nodes, const std::vector<uint32_t>& candidates)
    : m_nodes(std::move(nodes))
{
    std::array<QSet<QString>, allSignalKinds.size()> seenIDs;
    std::array<QHash<QString, size_t>, allSignalKinds.size()> groupOf;
    std::array<std::vector<std::pair<QString, Group>>, allSignalKinds.size()> found;
    for (const uint32_t position : candidates) {
        if (position >= uint32_t(m_nodes.size()))
            continue;
        const MediaNode& node = m_nodes.at(position);
        const size_t kind = size_t(node.kind);
        if (seenIDs[kind].contains(node.id))
            continue;
        seenIDs[kind].insert(node.id);
        const QString& category = node.groupID.isEmpty() ? node.groupName : node.groupID;
        auto slot = groupOf[kind].constFind(category);
        if (slot == groupOf[kind].cend()) {
            slot = groupOf[kind].insert(category, found[kind].size());
            found[kind].emplace_back(category, Group{});
        }
        found[kind][*slot].second.push_back(position);
    }
    for (size_t kind = 0; kind < found.size(); ++kind) {
        std::sort(found[kind].begin(), found[kind].end(),
                  [](const auto& a, const auto& b) { return codePointLess(a.first, b.first); });
        for (auto& [category, group] : found[kind])
            m_groups[kind].push_back(std::move(group));
    }
}

bool SpotlightCatalog::isEmpty() const
{
    return std::all_of(m_groups.begin(), m_groups.end(), [](const auto& groups) { return groups.empty(); });
}

std::vector<uint32_t> SpotlightCatalog::selectionPositions(qsizetype limit, const QSet<QString>& avoiding,
                                                           QRandomGenerator& random) const
{
    if (limit < 1)
        return {};
    return Draw(*this, limit, avoiding, random).run();
}

QList<MediaNode> SpotlightCatalog::selection(qsizetype limit, const QSet<QString>& avoiding,
                                             QRandomGenerator& random) const
{
    QList<MediaNode> drawn;
    for (const uint32_t position : selectionPositions(limit, avoiding, random))
        drawn.append(m_nodes.at(position));
    return drawn;
}

} // namespace sendra
