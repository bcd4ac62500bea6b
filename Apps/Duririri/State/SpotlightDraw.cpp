#include "State/SpotlightDraw.h"

#include "State/CatalogViews.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace sendra {

namespace {

constexpr int randomDraws = 12;

template <class T>
void shuffle(std::vector<T>& items, QRandomGenerator& random)
{
    for (size_t i = 0; i + 1 < items.size(); ++i)
        std::swap(items[i], items[i + random.bounded(quint32(items.size() - i))]);
}

class Draw
{
public:
    Draw(const CatalogSnapshot& snapshot, qsizetype limit, const QSet<QString>& avoiding, QRandomGenerator& random)
        : m_snapshot(snapshot), m_limit(limit), m_avoiding(idsByKind(avoiding)), m_random(random)
    {
    }

    std::vector<uint32_t> run()
    {
        if (m_limit < 1)
            return {};
        std::vector<Kind> kinds;
        for (SignalKind kind : allSignalKinds) {
            if (!m_snapshot.spotlightPools(kind).empty())
                kinds.push_back({m_snapshot.spotlightPools(kind)});
        }
        shuffle(kinds, m_random);
        for (Kind& kind : kinds)
            shuffle(kind.pools, m_random);
        for (bool refuseAvoided : {true, false}) {
            while (!full() && !kinds.empty() && sweep(kinds, refuseAvoided)) {
            }
        }
        return m_chosen;
    }

private:
    struct Kind {
        std::vector<CatalogSnapshot::SpotlightPool> pools;
        size_t cursor = 0;
    };

    bool full() const { return qsizetype(m_chosen.size()) >= m_limit; }
    bool isAvoided(const MediaNode& node) const { return m_avoiding[size_t(node.kind)].contains(node.id); }

    // One round over the kinds, each giving at most one entry; false when none gave any.
    bool sweep(std::vector<Kind>& kinds, bool refuseAvoided)
    {
        bool contributed = false;
        for (Kind& kind : kinds) {
            if (full())
                continue;
            for (size_t attempt = 0; attempt < kind.pools.size(); ++attempt) {
                const auto& pool = kind.pools[kind.cursor++ % kind.pools.size()];
                if (const std::optional<uint32_t> found = candidate(pool, refuseAvoided)) {
                    m_chosen.push_back(*found);
                    contributed = true;
                    break;
                }
            }
        }
        return contributed;
    }

    // Pools hold one entry per node key, so a chosen position stands for its key.
    bool acceptable(uint32_t position, bool refuseAvoided) const
    {
        return std::find(m_chosen.begin(), m_chosen.end(), position) == m_chosen.end() &&
               !(refuseAvoided && isAvoided(m_snapshot.node(position)));
    }

    std::optional<uint32_t> candidate(CatalogSnapshot::SpotlightPool pool, bool refuseAvoided)
    {
        for (int draw = 0; draw < randomDraws; ++draw) {
            const uint32_t position = pool[m_random.bounded(quint32(pool.size()))];
            if (acceptable(position, refuseAvoided))
                return position;
        }
        for (uint32_t position : pool) {
            if (acceptable(position, refuseAvoided))
                return position;
        }
        return std::nullopt;
    }

    const CatalogSnapshot& m_snapshot;
    qsizetype m_limit;
    std::array<QSet<QString>, 3> m_avoiding; // ids by kind
    QRandomGenerator& m_random;
    std::vector<uint32_t> m_chosen;
};

} // namespace

std::vector<uint32_t> drawSpotlight(const CatalogSnapshot& snapshot, qsizetype limit, const QSet<QString>& avoiding,
                                    QRandomGenerator& random)
{
    return Draw(snapshot, limit, avoiding, random).run();
}

} // namespace sendra
