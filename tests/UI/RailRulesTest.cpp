#include "UI/RailRules.h"

#include <gtest/gtest.h>

using namespace sendra;
using sendra::ui::moreDestination;
using sendra::ui::railDragTarget;
using sendra::ui::RailDestination;

// One item per whole 96 px from where the drag began, left moving forward, clamped at both ends.
TEST(RailRules, dragStepsWholeItemsFromTheOriginAndClamps)
{
    struct Case { int count; int origin; double translation; int target; };
    const Case cases[] = {
        {10, 0, -95, 0},   {10, 0, -96, 1},   {10, 0, -200, 2},  {10, 0, -95.9, 0},
        {10, 0, 300, 0},   {10, 8, -500, 9},  {10, 9, -96, 9},   {10, 5, 96, 4},
        {10, 5, 95, 5},    {10, 5, 200, 3},   // back toward the start: measured from the origin, not the last step
        {10, 4, -192, 6},  {10, 4, -40, 4},   {1, 0, -1000, 0},  {0, 0, -300, -1}, {0, 0, 300, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(railDragTarget(c.count, c.origin, c.translation), c.target)
            << c.count << " items, origin " << c.origin << ", moved " << c.translation;
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
