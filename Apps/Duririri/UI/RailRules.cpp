#include "UI/RailRules.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace sendra::ui {

int railLastLeading(int count, double contentWidth, double viewWidth, double spacing)
{
    if (count <= 0)
        return -1;
    const double range = contentWidth - viewWidth;
    const double stride = (contentWidth + spacing) / count;
    if (!(range > 0) || !(stride > 0))
        return 0;
    // Half a pixel of slack: layouts round, and an item a fraction short of the end still stands there.
    const double first = std::ceil((range - 0.5) / stride);
    return int(std::clamp(first, 0.0, double(count - 1)));
}

int railDragTarget(int lastLeading, int originIndex, double translationX)
{
    if (lastLeading < 0)
        return -1;
    const double steps = std::trunc(translationX / -railDragStep);
    const double origin = std::clamp(double(originIndex), 0.0, double(lastLeading));
    return int(std::clamp(origin + steps, 0.0, double(lastLeading)));
}

namespace {

template <class Range>
RailDestination destinationOver(const Range& nodes)
{
    QSet<QString> categories;
    QSet<SignalKind> kinds;
    for (const MediaNode& node : nodes) {
        categories.insert(catalogKey(node.kind, node.groupID));
        kinds.insert(node.kind);
    }
    if (categories.isEmpty())
        return {};
    const MediaNode& first = *nodes.begin();
    if (categories.size() == 1)
        return {first.kind, MediaGroup{catalogKey(first.kind, first.groupID), first.groupName, first.kind}};
    if (kinds.size() == 1)
        return {first.kind, std::nullopt};
    return {};
}

} // namespace

RailDestination moreDestination(const QList<MediaNode>& nodes)
{
    return destinationOver(nodes);
}

// The same over catalogue positions, read in place: a rail may have been given a whole kind.
RailDestination moreDestination(const NodeView& nodes)
{
    if (nodes.isEmpty())
        return {};
    const CatalogEntries& entries = nodes.snapshot()->entries();
    QSet<uint32_t> categories; // group indexes: one per kind and group id
    QSet<SignalKind> kinds;
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const uint32_t p = nodes.position(i);
        categories.insert(entries.groupOf(p));
        kinds.insert(entries.kind(p));
    }
    const MediaNode first = nodes.front();
    if (categories.size() == 1)
        return {first.kind, MediaGroup{catalogKey(first.kind, first.groupID), first.groupName, first.kind}};
    if (kinds.size() == 1)
        return {first.kind, std::nullopt};
    return {};
}

CarouselTurn carouselTurn(const QStringList& shown, const QStringList& fresh, int page, int step)
{
    if (shown != fresh)
        return {0, true};
    const auto count = int(fresh.size());
    if (count < 2)
        return {page, false};
    const int next = ((page + step) % count + count) % count;
    return {next, next != page};
}

} // namespace sendra::ui
