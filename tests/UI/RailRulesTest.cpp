#include "UI/RailRules.h"

#include <gtest/gtest.h>

using namespace sendra;
using sendra::ui::moreDestination;
using sendra::ui::railDragTarget;
using sendra::ui::RailDestination;

// One item per whole 96 px from where the drag began, left moving forward, clamped to the items that can lead;
// a drag back from past the last leading item moves at once.
TEST(RailRules, dragStepsWholeItemsFromTheOriginAndClamps)
{
    struct Case { int lastLeading; int origin; double translation; int target; };
    const Case cases[] = {
        {9, 0, -95, 0},   {9, 0, -96, 1},   {9, 0, -200, 2},  {9, 0, -95.9, 0},
        {9, 0, 300, 0},   {9, 8, -500, 9},  {9, 9, -96, 9},   {9, 5, 96, 4},
        {9, 5, 95, 5},    {9, 5, 200, 3},   // back toward the start: measured from the origin, not the last step
        {9, 4, -192, 6},  {9, 4, -40, 4},   {0, 0, -1000, 0}, {-1, 0, -300, -1}, {-1, 0, 300, -1},
        {4, 0, -2000, 4}, {4, 9, 96, 3},    {4, 9, 0, 4},     {4, 9, 10, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(railDragTarget(c.lastLeading, c.origin, c.translation), c.target)
            << "last leading " << c.lastLeading << ", origin " << c.origin << ", moved " << c.translation;
    }

    // Ten 142 px tiles 12 px apart (1,528 px): in 1,000 px the view stops at 528 px, inside the fourth tile, so
    // the fifth is the last that leads; with room for all, only the first.
    struct Fit { int count; double content; double view; int last; };
    const Fit fits[] = {
        {10, 1528, 1000, 4}, {10, 1528, 1066, 3}, {10, 1528, 1066.4, 3}, {10, 1528, 1528, 0}, {10, 1528, 2000, 0},
        {1, 142, 100, 0},    {0, 0, 1000, -1},    {22, 22 * 154 - 12, 820, 17},
    };
    for (const Fit& f : fits) {
        EXPECT_EQ(ui::railLastLeading(f.count, f.content, f.view, 12), f.last)
            << f.count << " items " << f.content << " px wide in " << f.view << " px";
    }
}

// The carousel turns by whole pages, wrapping both ways, only with two pages or more; a new selection starts over
// at the first page and the same one (the deck also announces equal assignments) keeps the page and the wait.
TEST(RailRules, carouselTurnsWrapsAndStartsOverOnANewSelection)
{
    const QStringList three{"tv:1", "movies:1", "series:1"};
    const QStringList other{"tv:1", "movies:2", "series:1"};
    struct Case { QStringList shown; QStringList fresh; int page; int step; ui::CarouselTurn turn; };
    const Case cases[] = {
        {three, three, 0, 1, {1, true}},  {three, three, 2, 1, {0, true}},   {three, three, 0, -1, {2, true}},
        {three, three, 1, -1, {0, true}}, {three, three, 1, 0, {1, false}},  {three, three, 1, 4, {2, true}},
        {three, other, 2, 0, {0, true}},  {three, other, 0, 0, {0, true}},   {three, {}, 1, 0, {0, true}},
        {{}, three, 0, 0, {0, true}},     {{"tv:1"}, {"tv:1"}, 0, 1, {0, false}}, {{}, {}, 0, -1, {0, false}},
        {three, {"series:1", "movies:1", "tv:1"}, 1, 0, {0, true}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ui::carouselTurn(c.shown, c.fresh, c.page, c.step), c.turn)
            << c.shown.join(',').toStdString() << " -> " << c.fresh.join(',').toStdString() << ", page " << c.page
            << ", step " << c.step;
    }
}

namespace {

MediaNode node(SignalKind kind, const QString& id, const QString& group, const QString& groupName = {})
{
    MediaNode n;
    n.id = id;
    n.title = id;
    n.kind = kind;
    n.groupID = group;
    n.groupName = groupName.isEmpty() ? group : groupName;
    return n;
}

} // namespace

// "Ver más" decides over every entry: one category, else one kind, else everything; a group id shared by two
// kinds is two categories.
TEST(RailRules, moreDestinationOverAllEntries)
{
    const auto film = SignalKind::cinema;
    const auto live = SignalKind::broadcast;
    const auto series = SignalKind::episodic;

    const RailDestination oneGroup = moreDestination(
        QList<MediaNode>{node(film, "1", "5", "Acción"), node(film, "2", "5", "Acción (otro nombre)")});
    EXPECT_EQ(oneGroup, (RailDestination{film, MediaGroup{"movies:5", "Acción", film}}));

    EXPECT_EQ(moreDestination(QList<MediaNode>{node(film, "1", "5"), node(film, "2", "6")}),
              (RailDestination{film, std::nullopt}));
    EXPECT_EQ(moreDestination(QList<MediaNode>{node(film, "1", "5"), node(series, "2", "7")}), RailDestination{});
    EXPECT_EQ(moreDestination(QList<MediaNode>{node(live, "1", "5"), node(film, "1", "5")}), RailDestination{});
    EXPECT_EQ(moreDestination(QList<MediaNode>{}), RailDestination{});

    // The 23rd entry, past what a rail shows, still counts.
    QList<MediaNode> many;
    for (int i = 0; i < 22; ++i)
        many.append(node(series, QString::number(i), "7", "Drama"));
    EXPECT_EQ(moreDestination(many).group->id, "series:7");
    many.append(node(series, "22", "8"));
    EXPECT_EQ(moreDestination(many), (RailDestination{series, std::nullopt}));
}
