#pragma once

#include "Domain/CatalogTypes.h"

#include <QList>

#include <cstdint>

namespace sendra::bench {

// A seeded catalogue shaped like a large panel: about a quarter live channels, half films, a quarter series,
// spread over `groups` categories; titles in Spanish with accents and numbers, some sharing names, a few with
// adult keywords, most with artwork.
QList<MediaNode> syntheticCatalog(int entries, int groups, uint64_t seed);

// A prepared home feed naming entries of `catalog` the way a platform would (some by id and title, some only by
// title, some not at all).
CommandFeed syntheticPreparedFeed(const QList<MediaNode>& catalog, uint64_t seed);

} // namespace sendra::bench
