#pragma once

#include "State/CatalogSnapshot.h"
#include "State/NodeView.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sendra {

// The home feed while it is being built: lanes of positions into one snapshot's entries.
struct LanePlan {
    QString id;
    QString title;
    QString subtitle;
    std::vector<uint32_t> positions;
    bool titleIsText = false; // the deck's own fixed text rather than data
    bool subtitleIsText = false;
};

struct FeedPlan {
    qint64 revision = 1;
    std::optional<uint32_t> spotlight;
    std::vector<LanePlan> lanes;
};

// The lane texts the deck writes are Spanish keys; the screens show them through the text lookup.
namespace LaneText {
QString kindTitle(SignalKind kind);     // "TV", "Películas", "Series"
QString availableContent();             // "Contenido disponible"
} // namespace LaneText

// Whether a group name (already folded) is worth offering as a category: at least three characters, a letter,
// not a catch-all name ("todos", "sin categoria", ...) and no day/month-like pair of numbers.
bool isUsefulFeaturedGroupName(const QString& foldedName);
bool isUsefulFeaturedGroup(const MediaGroup& group);

// At most 12 featured groups, balanced across the kinds (4 per kind, best quality first), topped up by quality.
QList<MediaGroup> selectFeaturedGroups(const CatalogSnapshot& snapshot);

// A group's visible entries (empty for an unknown group key), the first `limit` of them when given.
NodeView nodesInGroup(const std::shared_ptr<const CatalogSnapshot>& snapshot, const MediaGroup& group,
                      std::optional<qsizetype> limit = std::nullopt);

// A varied pick: the candidates split by group, the groups with more artwork (then more entries) first, one
// entry from each group in turn.
std::vector<uint32_t> variedPositions(const CatalogSnapshot& snapshot, std::span<const uint32_t> candidates,
                                      qsizetype limit);

// The feed built from the catalogue alone: lanes of the first three featured groups, a film as spotlight,
// revision 1, then enriched. `nodes` is the entry list the caller chose (the loaded or the visible entries).
FeedPlan planFeed(const CatalogSnapshot& snapshot, const NodeView& nodes);
// The feed through the home content policy, then topped up towards seven lanes with curated, mixed and category
// lanes of entries the centre may recommend and no lane shows yet.
FeedPlan enrichFeed(const CatalogSnapshot& snapshot, FeedPlan feed, const NodeView& nodes);
// A feed prepared by the platform, mapped onto the entries of `nodes` (by id and folded title, else node key,
// else folded title), then enriched.
FeedPlan rewritePreparedFeed(const CatalogSnapshot& snapshot, const CommandFeed& prepared, const NodeView& nodes);

CommandFeed materialize(const CatalogSnapshot& snapshot, const FeedPlan& plan);

} // namespace sendra
