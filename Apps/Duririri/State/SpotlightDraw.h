#pragma once

#include "State/CatalogSnapshot.h"

#include <QRandomGenerator>
#include <QSet>
#include <QString>

#include <cstdint>
#include <vector>

namespace sendra {

// A spotlight selection from a snapshot's pools: at most `limit` distinct entries in the order drawn, spread over
// the kinds and, within a kind, over the categories; entries whose node key is in `avoiding` only once nothing
// else is left. The spotlight catalogue's draw, over pools the snapshot already holds, so that applying a
// catalogue does not hash every candidate again.
std::vector<uint32_t> drawSpotlight(const CatalogSnapshot& snapshot, qsizetype limit, const QSet<QString>& avoiding,
                                    QRandomGenerator& random);

} // namespace sendra
