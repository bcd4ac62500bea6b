#include "Domain/CatalogPresentation.h"
#include "Domain/CenterContentPolicy.h"

#include "CandidateNodes.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace sendra;

namespace {

MediaNode node(const QString& id, const QString& title, const QString& groupID, const QString& groupName,
               SignalKind kind = SignalKind::cinema)
{
    return candidateNode(kind, id, title, groupID, groupName);
}

QStringList ids(const QList<MediaNode>& nodes)
{
    return mapNodes(nodes, &MediaNode::id);
}

MediaNode classified(SignalKind kind, std::optional<QString> classification)
{
    MediaNode n = node(QStringLiteral("1"), QStringLiteral("t"), QString(), QString(), kind);
    n.contentClassification = std::move(classification);
    return n;
}

TEST(CenterContentPolicyTest, NormalisedFormFoldsCaseAccentsAndBlanks)
{
    EXPECT_EQ(CenterContentPolicy::normalize(QStringLiteral("  ÁPICE Niño\t")), QStringLiteral("apice nino"));
    EXPECT_EQ(CenterContentPolicy::normalize(QStringLiteral("İstanbul")), QStringLiteral("istanbul"));
    EXPECT_EQ(CenterContentPolicy::normalize(QStringLiteral("Ça\u0301 va")), QStringLiteral("ca va"));
    EXPECT_EQ(CenterContentPolicy::normalize(QStringLiteral("\u00a0Canal 𝔸\u00a0")), QStringLiteral("canal 𝔸"));
    EXPECT_EQ(CenterContentPolicy::normalize(QString()), QString());
}

TEST(CenterContentPolicyTest, BlockedGroupsAndKeywordsKeepCategoriesOffTheCentre)
{
    const CenterContentPolicy policy({QStringLiteral("  DEPORTES  "), QStringLiteral("Niños"), QStringLiteral("77")});
    EXPECT_FALSE(policy.allowsCategory(QStringLiteral("1"), QStringLiteral("deportes")));
    EXPECT_FALSE(policy.allowsCategory(QStringLiteral("1"), QStringLiteral("Deportes")));
    EXPECT_FALSE(policy.allowsCategory(QStringLiteral("1"), QStringLiteral("NINOS")));
    EXPECT_FALSE(policy.allowsCategory(QStringLiteral(" 77 "), QStringLiteral("Cine")));
    EXPECT_TRUE(policy.allowsCategory(QStringLiteral("1"), QStringLiteral("Deportes 2")));

    const CenterContentPolicy none;
    EXPECT_TRUE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Aventuras")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Canal +18")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("18+ Noche")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Cine eròtico")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Cine Erótico")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("Educación asexualidad")));
    EXPECT_FALSE(none.allowsCategory(QStringLiteral("1"), QStringLiteral("OnlyFans")));
    // The keywords are looked for in the name only, not in the id.
    EXPECT_TRUE(none.allowsCategory(QStringLiteral("xxx"), QStringLiteral("Series")));
}

TEST(CenterContentPolicyTest, EntriesAreFilteredInOrderWhateverTheirClassification)
{
    const CenterContentPolicy policy({QStringLiteral("Deportes"), QStringLiteral("9")});
    MediaNode generic = node(QStringLiteral("e"), QStringLiteral("Clean"), QStringLiteral("2"), QStringLiteral("Cine"));
    generic.contentClassification = QStringLiteral("generic");
    const QList<MediaNode> nodes{
        node(QStringLiteral("a"), QStringLiteral("Ok"), QStringLiteral("1"), QStringLiteral("Cine")),
        node(QStringLiteral("b"), QStringLiteral("Ok"), QStringLiteral("9"), QStringLiteral("Cine")),
        node(QStringLiteral("c"), QStringLiteral("Ok"), QStringLiteral("3"), QStringLiteral("DEPORTES")),
        node(QStringLiteral("d"), QStringLiteral("XXX Night"), QStringLiteral("1"), QStringLiteral("Cine")),
        generic,
        node(QStringLiteral("f"), QStringLiteral("Ok"), QStringLiteral("4"), QStringLiteral("Adultos")),
        node(QStringLiteral("g"), QStringLiteral("Ok"), QString(), QString()),
    };
    EXPECT_EQ(ids(policy.recommendations(nodes)), (QStringList{QStringLiteral("a"), QStringLiteral("e"),
                                                               QStringLiteral("g")}));
    // A blank blocked text names no category: entries without one stay.
    const CenterContentPolicy blank({QStringLiteral("  "), QString()});
    EXPECT_TRUE(blank.blockedGroups().isEmpty());
    EXPECT_TRUE(blank.allows(nodes.last()));
}

TEST(CenterContentPolicyTest, FeedLosesBlockedLanesAndGetsAnAllowedSpotlight)
{
    const CenterContentPolicy policy({QStringLiteral("Deportes"), QStringLiteral("lane-x")});
    const MediaNode clean = node(QStringLiteral("1"), QStringLiteral("Film"), QStringLiteral("1"), QStringLiteral("Cine"));
    const MediaNode blockedNode =
        node(QStringLiteral("2"), QStringLiteral("Match"), QStringLiteral("5"), QStringLiteral("Deportes"));
    const MediaNode other = node(QStringLiteral("3"), QStringLiteral("Other"), QStringLiteral("1"), QStringLiteral("Cine"));

    CommandFeed feed;
    feed.revision = 42;
    feed.spotlight = blockedNode;
    feed.lanes = {
        {QStringLiteral("lane-x"), QStringLiteral("Clean title"), QStringLiteral("s"), {clean}},
        {QStringLiteral("l2"), QStringLiteral("DEPORTES"), QStringLiteral("s"), {clean}},
        {QStringLiteral("l3"), QStringLiteral("Noche +18"), QStringLiteral("s"), {clean}},
        {QStringLiteral("l4"), QStringLiteral("Clean"), QStringLiteral("s"), {blockedNode}},
        {QStringLiteral("l5"), QStringLiteral("Estrenos"), QStringLiteral("sub"), {blockedNode, other, clean}},
    };
    const CommandFeed filtered = policy.recommendations(feed);
    EXPECT_EQ(filtered.revision, 42);
    ASSERT_EQ(filtered.lanes.size(), 1);
    EXPECT_EQ(filtered.lanes[0].id, QStringLiteral("l5"));
    EXPECT_EQ(filtered.lanes[0].subtitle, QStringLiteral("sub"));
    EXPECT_EQ(ids(filtered.lanes[0].nodes), (QStringList{QStringLiteral("3"), QStringLiteral("1")}));
    EXPECT_EQ(filtered.spotlight, other);

    feed.spotlight = clean;
    EXPECT_EQ(policy.recommendations(feed).spotlight, clean);
    feed.spotlight.reset();
    EXPECT_EQ(policy.recommendations(feed).spotlight, other);

    feed.spotlight = blockedNode;
    feed.lanes.removeLast();
    const CommandFeed empty = policy.recommendations(feed);
    EXPECT_TRUE(empty.lanes.isEmpty());
    EXPECT_FALSE(empty.spotlight);
}

TEST(CatalogPresentationTest, GenericOnlyAndKindsInCanonicalOrder)
{
    const CatalogPresentation none({});
    EXPECT_FALSE(none.genericOnly);
    EXPECT_TRUE(none.kinds.isEmpty());

    const QString generic = QStringLiteral("generic");
    const CatalogPresentation allGeneric({classified(SignalKind::cinema, generic), classified(SignalKind::broadcast, generic)});
    EXPECT_TRUE(allGeneric.genericOnly);
    EXPECT_TRUE(allGeneric.kinds.isEmpty());

    const CatalogPresentation mixed({classified(SignalKind::broadcast, generic), classified(SignalKind::cinema, std::nullopt)});
    EXPECT_FALSE(mixed.genericOnly);
    EXPECT_EQ(mixed.kinds, QList<SignalKind>{SignalKind::cinema});

    const CatalogPresentation capitalised({classified(SignalKind::episodic, QStringLiteral("Generic")),
                                           classified(SignalKind::cinema, QStringLiteral("movie")),
                                           classified(SignalKind::broadcast, std::nullopt)});
    EXPECT_FALSE(capitalised.genericOnly);
    EXPECT_EQ(capitalised.kinds,
              (QList<SignalKind>{SignalKind::broadcast, SignalKind::cinema, SignalKind::episodic}));
}

} // namespace
