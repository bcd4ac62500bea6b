#include "Domain/SpotlightCatalog.h"

#include "CandidateNodes.h"
#include "QtPrinters.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace sendra;

namespace {

MediaNode entry(SignalKind kind, const QString& id, const QString& groupID, const QString& groupName = QString())
{
    return candidateNode(kind, id, QStringLiteral("Title ") + id, groupID, groupName);
}

QStringList keys(const QList<MediaNode>& nodes)
{
    return mapNodes(nodes, &MediaNode::catalogKey);
}

// Each kind with `groups` categories of `size` entries.
QList<MediaNode> grid(int groups, int size)
{
    QList<MediaNode> nodes;
    for (const SignalKind kind : allSignalKinds) {
        for (int g = 0; g < groups; ++g) {
            for (int i = 0; i < size; ++i)
                nodes.append(entry(kind, QStringLiteral("%1-%2").arg(g).arg(i), QStringLiteral("g%1").arg(g)));
        }
    }
    return nodes;
}

QList<QStringList> groupIDs(const SpotlightCatalog& catalog, SignalKind kind)
{
    QList<QStringList> result;
    for (const SpotlightCatalog::Group& group : catalog.groups(kind)) {
        QStringList ids;
        for (const uint32_t position : group)
            ids.append(catalog.nodes()[position].id);
        result.append(ids);
    }
    return result;
}

TEST(SpotlightCatalogTest, GroupsByKindAndCategoryOnceEachNodeKey)
{
    const QList<MediaNode> nodes{
        entry(SignalKind::cinema, QStringLiteral("1"), QStringLiteral("b")),
        entry(SignalKind::cinema, QStringLiteral("2"), QStringLiteral("B")),
        entry(SignalKind::cinema, QStringLiteral("1"), QStringLiteral("a")), // same key: the first stays
        entry(SignalKind::broadcast, QStringLiteral("1"), QStringLiteral("a")),
        entry(SignalKind::cinema, QStringLiteral("3"), QString(), QStringLiteral("Acción")),
        entry(SignalKind::cinema, QStringLiteral("4"), QStringLiteral("b")),
        entry(SignalKind::cinema, QStringLiteral("5"), QStringLiteral("\uFF21")),     // after every BMP letter...
        entry(SignalKind::cinema, QStringLiteral("6"), QStringLiteral("\U0001D400")), // ...and before this one
    };
    const SpotlightCatalog catalog(nodes);
    EXPECT_EQ(groupIDs(catalog, SignalKind::cinema),
              (QList<QStringList>{{QStringLiteral("3")},
                                  {QStringLiteral("2")},
                                  {QStringLiteral("1"), QStringLiteral("4")},
                                  {QStringLiteral("5")},
                                  {QStringLiteral("6")}}));
    EXPECT_EQ(groupIDs(catalog, SignalKind::broadcast), (QList<QStringList>{{QStringLiteral("1")}}));
    EXPECT_TRUE(catalog.groups(SignalKind::episodic).empty());

    // Only the candidates given count, in their order.
    const SpotlightCatalog some(nodes, {5, 2, 0, 99});
    EXPECT_EQ(groupIDs(some, SignalKind::cinema), (QList<QStringList>{{QStringLiteral("1")}, {QStringLiteral("4")}}));
    EXPECT_EQ(some.nodes()[some.groups(SignalKind::cinema)[0][0]].groupID, QStringLiteral("a"));
}

TEST(SpotlightCatalogTest, NothingToDrawGivesNothing)
{
    QRandomGenerator random(7);
    QRandomGenerator untouched(7);
    const SpotlightCatalog catalog(grid(2, 2));
    EXPECT_TRUE(catalog.selection(0, {}, random).isEmpty());
    EXPECT_TRUE(catalog.selection(-3, {}, random).isEmpty());
    EXPECT_EQ(random.generate(), untouched.generate()) << "the generator is not touched";

    const SpotlightCatalog empty;
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(empty.selection(9, {}, random).isEmpty());
    EXPECT_TRUE(SpotlightCatalog(QList<MediaNode>{}).selection(9, {}, random).isEmpty());
}

TEST(SpotlightCatalogTest, NineFromThreeKindsTakeThreeCategoriesOfEach)
{
    const SpotlightCatalog catalog(grid(4, 3));
    for (quint32 seed = 1; seed <= 50; ++seed) {
        QRandomGenerator random(seed);
        const QList<MediaNode> drawn = catalog.selection(9, {}, random);
        ASSERT_EQ(drawn.size(), 9);
        QHash<SignalKind, QSet<QString>> categories;
        for (int sweep = 0; sweep < 3; ++sweep) {
            QSet<SignalKind> kinds;
            for (int i = 0; i < 3; ++i) {
                const MediaNode& n = drawn[sweep * 3 + i];
                kinds.insert(n.kind);
                categories[n.kind].insert(n.groupID);
            }
            EXPECT_EQ(kinds.size(), 3) << "one entry per kind in every sweep, seed " << seed;
        }
        for (const SignalKind kind : allSignalKinds)
            EXPECT_EQ(categories[kind].size(), 3) << "seed " << seed;
    }
}

TEST(SpotlightCatalogTest, DrawsAreDistinctBoundedAndRepeatableFromTheSeed)
{
    QList<MediaNode> nodes = grid(2, 3);
    nodes.append(entry(SignalKind::cinema, QStringLiteral("0-0"), QStringLiteral("g9"))); // a duplicate key
    const SpotlightCatalog catalog(nodes);
    for (quint32 seed = 1; seed <= 30; ++seed) {
        QRandomGenerator random(seed);
        const QStringList drawn = keys(catalog.selection(100, {}, random));
        EXPECT_EQ(drawn.size(), 18);
        EXPECT_EQ(QSet<QString>(drawn.cbegin(), drawn.cend()).size(), 18);
        QRandomGenerator again(seed);
        EXPECT_EQ(keys(catalog.selection(100, {}, again)), drawn);
        QRandomGenerator fewer(seed);
        EXPECT_EQ(catalog.selection(5, {}, fewer).size(), 5);
    }
}

TEST(SpotlightCatalogTest, AvoidedEntriesComeOnlyWhenNothingElseIsLeft)
{
    const QList<MediaNode> nodes = grid(2, 2);
    const SpotlightCatalog catalog(nodes);
    QSet<QString> everything;
    for (const MediaNode& n : nodes)
        everything.insert(n.catalogKey());
    QRandomGenerator random(3);
    EXPECT_EQ(catalog.selection(9, everything, random).size(), 9);

    const QSet<QString> avoided{QStringLiteral("tv:0-0"), QStringLiteral("movies:1-1"), QStringLiteral("series:0-1"),
                                QStringLiteral("bogus"), QStringLiteral("radio:1")};
    for (quint32 seed = 1; seed <= 30; ++seed) {
        QRandomGenerator seeded(seed);
        const QStringList drawn = keys(catalog.selection(12, avoided, seeded));
        ASSERT_EQ(drawn.size(), 12);
        for (int i = 0; i < 9; ++i)
            EXPECT_FALSE(avoided.contains(drawn[i])) << drawn[i].toStdString() << " drawn early, seed " << seed;
        for (int i = 9; i < 12; ++i)
            EXPECT_TRUE(avoided.contains(drawn[i])) << "seed " << seed;
    }
}

TEST(SpotlightCatalogTest, AnExhaustedKindStopsWhileTheOthersGoOn)
{
    QList<MediaNode> nodes{entry(SignalKind::broadcast, QStringLiteral("a"), QStringLiteral("only")),
                           entry(SignalKind::broadcast, QStringLiteral("b"), QStringLiteral("only"))};
    for (int g = 0; g < 3; ++g) {
        for (int i = 0; i < 5; ++i)
            nodes.append(entry(SignalKind::cinema, QStringLiteral("%1-%2").arg(g).arg(i), QStringLiteral("g%1").arg(g)));
    }
    const SpotlightCatalog catalog(nodes);
    for (quint32 seed = 1; seed <= 30; ++seed) {
        QRandomGenerator random(seed);
        const QList<MediaNode> drawn = catalog.selection(9, {}, random);
        ASSERT_EQ(drawn.size(), 9);
        const auto live = std::count_if(drawn.cbegin(), drawn.cend(),
                                        [](const MediaNode& n) { return n.kind == SignalKind::broadcast; });
        EXPECT_EQ(live, 2) << "seed " << seed;
        // Both live entries within the first two sweeps.
        for (int i = 4; i < drawn.size(); ++i)
            EXPECT_EQ(drawn[i].kind, SignalKind::cinema);
    }
}

} // namespace
