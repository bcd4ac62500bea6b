#pragma once

#include "Domain/CatalogTypes.h"

#include <QList>
#include <QRandomGenerator>
#include <QSet>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace sendra {

// The candidates of the home screen's spotlight carousel, grouped by kind and category, and the random
// draws over them. Entries are kept once, as positions into the list given; an immutable value.
class SpotlightCatalog {
public:
    using Group = std::vector<uint32_t>; // positions into nodes(), never empty

    SpotlightCatalog() = default;
    // Every entry a candidate.
    explicit SpotlightCatalog(QList<MediaNode> nodes);
    // Only the entries at these positions (ascending or not; the order counts for de-duplication).
    SpotlightCatalog(QList<MediaNode> nodes, const std::vector<uint32_t>& candidates);

    const QList<MediaNode>& nodes() const { return m_nodes; }
    // The groups of one kind in ascending category order (category = group id, or group name when the id is
    // empty; compared by code point). A node key appears once in the whole catalogue, first occurrence kept.
    const std::vector<Group>& groups(SignalKind kind) const { return m_groups[size_t(kind)]; }
    bool isEmpty() const;

    // At most `limit` distinct entries in the order drawn, spread over the kinds and, within a kind, over the
    // categories; entries whose node key is in `avoiding` only once nothing else is left. The generator is
    // QRandomGenerator::system() in the application and a seeded one in tests.
    QList<MediaNode> selection(qsizetype limit, const QSet<QString>& avoiding, QRandomGenerator& random) const;
    std::vector<uint32_t> selectionPositions(qsizetype limit, const QSet<QString>& avoiding,
                                             QRandomGenerator& random) const;

private:
    QList<MediaNode> m_nodes;
    std::array<std::vector<Group>, allSignalKinds.size()> m_groups;
};

} // namespace sendra
