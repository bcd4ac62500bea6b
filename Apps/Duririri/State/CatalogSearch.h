#pragma once

#include "State/CatalogSnapshot.h"
#include "State/NodeView.h"

#include <QString>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace sendra {

// The global search over one snapshot's visible entries. Hits rank 0 (folded title equals the query), 1 (title
// begins with it), 2 (title contains it), 3 (folded group name begins with it) or 4 (group name contains it), and
// come out by rank, then title order, then catalogue order. A result is computed once per folded query and kept
// for the snapshot's lifetime; a longer query searches only the hits of a kept query it contains.
class CatalogSearch
{
public:
    explicit CatalogSearch(std::shared_ptr<const CatalogSnapshot> snapshot);

    // Every hit for the query as typed; empty for a blank query.
    NodeView results(const QString& query);

    const std::shared_ptr<const CatalogSnapshot>& snapshot() const { return m_snapshot; }

private:
    using Positions = std::shared_ptr<const std::vector<uint32_t>>;
    struct Kept {
        std::string query;
        Positions positions;
    };

    Positions compute(const std::string& query);
    const Kept* narrowestContaining(const std::string& query) const;

    std::shared_ptr<const CatalogSnapshot> m_snapshot;
    std::list<Kept> m_kept; // most recently used first
    size_t m_keptPositions = 0;
    std::vector<uint64_t> m_scratch; // a fresh search's bits, kept for the next one
};

} // namespace sendra
