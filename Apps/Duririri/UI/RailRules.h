#pragma once

#include "Domain/CatalogTypes.h"
#include "State/NodeView.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace sendra::ui {

// Horizontal drag that moves a rail by one item.
inline constexpr double railDragStep = 96;

// The last item that can stand at the leading edge of a view `viewWidth` wide over `count` items of equal width
// laid out `contentWidth` wide with `spacing` between them: the first item whose start lies at or past the end
// of the scrolling range (later items cannot reach the edge: the view stops at its end). 0 when all items fit,
// -1 for an empty rail.
int railLastLeading(int count, double contentWidth, double viewWidth, double spacing);

// The item a drag brings to the leading edge: the origin (the leading item when the drag began) moved by one
// item per whole 96 px of horizontal translation (left = later items), clamped to the items that can lead
// (0 to `lastLeading`). -1 for an empty rail.
int railDragTarget(int lastLeading, int originIndex, double translationX);

// Where a rail's "Ver más" leads, decided over every entry the rail was given (not only the shown ones): one
// category (kind and group id together; two kinds sharing a group id are two categories) opens that category,
// one kind opens the kind, anything else the whole library.
struct RailDestination {
    std::optional<SignalKind> kind;
    std::optional<MediaGroup> group;

    friend bool operator==(const RailDestination&, const RailDestination&) = default;
};

RailDestination moreDestination(const QList<MediaNode>& nodes);
RailDestination moreDestination(const NodeView& nodes);

// The spotlight carousel's page after a turn by `step` pages (0 when its entries change) from `page`. `shown` are
// the node keys of the entries it showed, `fresh` the ones it shows now: a new selection starts over at the first
// page; the same selection turns by `step`, wrapping both ways, when there are two pages or more. The wait for the
// next turn starts again whenever the page or the selection changed.
struct CarouselTurn {
    int page = 0;
    bool restartWait = false;

    friend bool operator==(const CarouselTurn&, const CarouselTurn&) = default;
};

CarouselTurn carouselTurn(const QStringList& shown, const QStringList& fresh, int page, int step);

} // namespace sendra::ui
