// The engine against the reference written straight from the rules, on seeded random catalogues.
#include "NaiveCatalog.h"
#include "StateTestSupport.h"

#include "State/CatalogSearch.h"
#include "State/CatalogSnapshot.h"
#include "State/CatalogViews.h"
#include "State/HomeFeed.h"
#include "State/SpotlightDraw.h"

#include "NetKit/Workers.h"
#include "NetKit/WorkersTesting.h"

#include "CpuClock.h"

#include <QRandomGenerator>

#include <optional>
#include <thread>

using namespace sendra;
using namespace statetest;
using sendra::testing::CpuOf;
using sendra::testing::cpuSeconds;

namespace {

struct Case {
    QList<MediaNode> nodes;
    QSet<QString> blocked;
    bool parental = false;
};

Case randomCase(uint64_t seed)
{
    QRandomGenerator random{quint32(seed * 7919)};
    Case c;
    // The last seed is big enough for the engine to fold, collate and sort on several threads.
    c.nodes = randomCatalog(seed, seed == 121 ? 45'000 : random.bounded(260));
    const QStringList blockable{"3", " 5 ", "canal", "NOTICIAS", "Café", "", "  ", "Sin categoría", "tv:3"};
    for (const QString& b : blockable) {
        if (random.bounded(3) == 0)
            c.blocked.insert(b);
    }
    c.parental = random.bounded(2) == 0;
    return c;
}

QStringList queriesFor(const QList<MediaNode>& nodes, QRandomGenerator& random)
{
    QStringList queries{"a", "ca", "CAFÉ", "cafe", "  ", "", "canal 1", "10", "ana", "zzz", "2", "ápice", " TV ", "aa"};
    // The end of the last title is the end of the text the engine reads all titles from.
    if (!nodes.isEmpty())
        queries << nodes.last().title << nodes.last().title.right(2) << nodes.last().title.right(17);
    for (int i = 0; i < 6 && !nodes.isEmpty(); ++i) {
        const QString title = nodes[random.bounded(int(nodes.size()))].title;
        const int from = random.bounded(int(title.size()) + 1);
        queries.append(title.mid(from, random.bounded(6)));
    }
    return queries;
}

CommandFeed preparedFeedFrom(const QList<MediaNode>& nodes, QRandomGenerator& random)
{
    CommandFeed feed;
    feed.revision = 7 + random.bounded(5);
    const int lanes = random.bounded(10);
    for (int l = 0; l < lanes; ++l) {
        CommandLane lane{QStringLiteral("lane-%1").arg(l), l % 4 == 0 ? QStringLiteral("Noticias") : QStringLiteral("Carril"),
                         QStringLiteral("Subtítulo"), {}};
        const int count = random.bounded(8);
        for (int i = 0; i < count; ++i) {
            MediaNode p = nodes.isEmpty() ? entry(SignalKind::cinema, "1", "Nada", "", "")
                                          : nodes[random.bounded(int(nodes.size()))];
            switch (random.bounded(5)) {
            case 0: p.title = p.title.toUpper() + QStringLiteral("  "); break; // same folded title
            case 1: p.id = QStringLiteral("x:") + p.id; break;                  // found by title only
            case 2: p.title = QStringLiteral("Otra cosa"); break;               // found by node key
            case 3: p.kind = SignalKind(random.bounded(3)); break;
            default: break;
            }
            lane.nodes.append(p);
        }
        feed.lanes.append(lane);
    }
    if (random.bounded(3) != 0 && !nodes.isEmpty())
        feed.spotlight = nodes[random.bounded(int(nodes.size()))];
    return feed;
}

QList<MediaNode> nodesAt(const CatalogSnapshot& snapshot, const std::vector<uint32_t>& positions)
{
    QList<MediaNode> out;
    for (uint32_t p : positions)
        out.append(snapshot.node(p));
    return out;
}

// While it lives, the engine shares entries out over threads of a few entries each (when it folds, collates, finds
// duplicates and searches), so that small catalogues reach the joins of the threads' parts.
class SmallThreadShares
{
public:
    explicit SmallThreadShares(uint32_t entries) : m_previous(netkit::setLeastPerThreadForTests(entries)) {}
    ~SmallThreadShares() { netkit::setLeastPerThreadForTests(m_previous); }
    SmallThreadShares(const SmallThreadShares&) = delete;
    SmallThreadShares& operator=(const SmallThreadShares&) = delete;

private:
    uint32_t m_previous;
};

// While it lives, no worker thread can start (as under a thread limit), and none is waiting started.
class ThreadsCannotStart
{
public:
    ThreadsCannotStart()
    {
        netkit::endIdleThreadsForTests();
        netkit::failThreadStartsForTests(true);
    }
    ~ThreadsCannotStart() { netkit::failThreadStartsForTests(false); }
    ThreadsCannotStart(const ThreadsCannotStart&) = delete;
    ThreadsCannotStart& operator=(const ThreadsCannotStart&) = delete;
};

} // namespace

TEST(CatalogEquivalence, EngineMatchesTheReferenceOnRandomCatalogues)
{
    for (uint64_t seed = 1; seed <= 121; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const Case c = randomCase(seed);
        // Odd seeds build and search over parts of a few entries, joined.
        std::optional<SmallThreadShares> shares;
        if (seed % 2 == 1)
            shares.emplace(uint32_t(1 + seed % 7));
        // Some of those build and search where no thread can start: the same results, all on this thread.
        std::optional<ThreadsCannotStart> limit;
        if (seed % 4 == 3)
            limit.emplace();
        const auto snapshot = CatalogSnapshot::build(c.nodes, c.blocked, c.parental);
        const naive::Catalog ref = naive::apply(c.nodes, c.blocked, c.parental);

        EXPECT_EQ(snapshot->usesGenericPresentation(), ref.usesGenericPresentation);
        EXPECT_EQ(snapshot->presentedKinds(), ref.presentedKinds);
        for (SignalKind kind : allSignalKinds) {
            EXPECT_SAME(describeAll(NodeView(snapshot, snapshot->positionsOfKind(kind))),
                      describeAll(ref.nodesByKind.value(kind)));
            EXPECT_SAME(describeGroups(snapshot->groupsOfKind(kind)), describeGroups(ref.groupsByKind.value(kind)));
            EXPECT_SAME(describeGroups(snapshot->browsableGroupsOfKind(kind)),
                      describeGroups(ref.browsableGroupsByKind.value(kind)));
        }
        EXPECT_SAME(describeGroups(snapshot->groups()), describeGroups(ref.groups));
        EXPECT_SAME(describeGroups(snapshot->browsableGroups()), describeGroups(ref.browsableGroups));
        EXPECT_SAME(describeGroups(snapshot->featuredGroups()), describeGroups(ref.featuredGroups));
        for (const MediaGroup& group : ref.groups)
            EXPECT_SAME(describeAll(nodesInGroup(snapshot, group)), describeAll(ref.nodesByGroup.value(group.id)));
        for (uint32_t p = 0; p < snapshot->entries().size(); ++p) {
            EXPECT_EQ(snapshot->isCenterKey(p), ref.centerNodeKeys.contains(c.nodes[p].catalogKey())) << p;
            EXPECT_EQ(snapshot->recommends(c.nodes[p]), snapshot->isRecommended(p)) << p;
        }

        QRandomGenerator random{quint32(seed)};
        CatalogSearch search(snapshot);
        for (const QString& query : queriesFor(c.nodes, random)) {
            SCOPED_TRACE("query \"" + query.toStdString() + "\"");
            const QList<MediaNode> expected = naive::searchResults(ref, query);
            EXPECT_SAME(describeAll(search.results(query)), describeAll(expected));
            // Typed letter by letter, each keystroke narrowing the one before.
            CatalogSearch typed(snapshot);
            for (qsizetype k = 1; k < query.size(); ++k)
                typed.results(query.left(k));
            EXPECT_SAME(describeAll(typed.results(query)), describeAll(expected));
        }

        QSet<QString> favorites{QStringLiteral("movies:x:1"), QStringLiteral("nonsense")};
        for (int i = 0; i < 8 && !c.nodes.isEmpty(); ++i)
            favorites.insert(c.nodes[random.bounded(int(c.nodes.size()))].catalogKey());
        EXPECT_SAME(describeAll(favoriteNodes(snapshot, favorites)), describeAll(naive::favoriteNodes(ref, favorites)));
        EXPECT_SAME(describeAll(centerFavoriteNodes(snapshot, favorites)),
                  describeAll(naive::centerFavoriteNodes(ref, favorites)));

        const NodeView loaded = NodeView::allEntries(snapshot);
        const NodeView visible(snapshot, snapshot->visiblePositions());
        EXPECT_SAME(describeFeed(materialize(*snapshot, planFeed(*snapshot, loaded))),
                  describeFeed(naive::makeFeed(ref, c.nodes)));
        EXPECT_SAME(describeFeed(materialize(*snapshot, planFeed(*snapshot, visible))),
                  describeFeed(naive::makeFeed(ref, ref.visibleNodes())));
        const CommandFeed prepared = preparedFeedFrom(c.nodes, random);
        EXPECT_SAME(describeFeed(materialize(*snapshot, rewritePreparedFeed(*snapshot, prepared, loaded))),
                  describeFeed(naive::rewritePreparedFeed(ref, prepared, c.nodes)));
        EXPECT_SAME(describeFeed(materialize(*snapshot, rewritePreparedFeed(*snapshot, prepared, visible))),
                  describeFeed(naive::rewritePreparedFeed(ref, prepared, ref.visibleNodes())));

        QSet<QString> shown;
        for (int draw = 0; draw < 3; ++draw) {
            QRandomGenerator mine{quint32(seed + draw)};
            QRandomGenerator theirs{quint32(seed + draw)};
            const QList<MediaNode> expected = ref.spotlight.selection(9, shown, theirs);
            EXPECT_SAME(describeAll(nodesAt(*snapshot, drawSpotlight(*snapshot, 9, shown, mine))),
                      describeAll(expected));
            shown.clear();
            for (const MediaNode& n : expected)
                shown.insert(n.catalogKey());
        }
    }
}

// Once a search over several threads has ended, they wait without using the processor.
TEST(CatalogEquivalence, ThreadsRestAfterASearch)
{
    const SmallThreadShares shares(500);
    const auto snapshot = CatalogSnapshot::build(randomCatalog(5, 20'000), {}, false);
    CatalogSearch search(snapshot);
    EXPECT_FALSE(search.results(QStringLiteral("a")).isEmpty());
    search.results(QStringLiteral("ca"));
    EXPECT_GT(netkit::searchPool().threadCount(), 1U);
    const double before = cpuSeconds(CpuOf::Process) * 1e3;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(cpuSeconds(CpuOf::Process) * 1e3 - before, 100.0)
        << "milliseconds of processor time over a second of rest";
}

TEST(CatalogEquivalence, ParentalReapplicationOfOneLoadMatchesAFreshBuild)
{
    for (uint64_t seed = 200; seed < 230; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const Case c = randomCase(seed);
        const auto loaded = CatalogEntries::prepare(c.nodes);
        for (bool parental : {false, true}) {
            const auto reused = CatalogSnapshot::build(loaded, c.blocked, parental);
            const naive::Catalog ref = naive::apply(c.nodes, c.blocked, parental);
            EXPECT_SAME(describeAll(NodeView(reused, reused->visiblePositions())), describeAll(ref.visibleNodes()));
            EXPECT_SAME(describeGroups(reused->groups()), describeGroups(ref.groups));
            CatalogSearch search(reused);
            EXPECT_SAME(describeAll(search.results(QStringLiteral("a"))), describeAll(naive::searchResults(ref, "a")));
        }
    }
}

// A first keystroke takes its own road (one byte per entry, not the titles). Every printable character, over titles
// that are that character alone, begin or end with it, hold bytes that share its bit, or are not Latin, in
// groups whose names hold it, with blocked groups and the parental filter hiding some.
TEST(CatalogEquivalence, EveryOneCharacterQueryMatchesTheReference)
{
    QList<MediaNode> nodes = randomCatalog(77, 2'000);
    QRandomGenerator random{77};
    const QString extras = QStringLiteral("ñÉßж€");
    QString alphabet;
    for (char16_t c = 0x21; c < 0x7F; ++c)
        alphabet += QChar(c);
    alphabet += extras;
    const QStringList groupNames{"Mañana", "0-9 & Co.", "zona $", "Жанр", "Canal"};
    for (qsizetype i = 0; i < alphabet.size(); ++i) {
        const QString c = alphabet.mid(i, 1);
        const QString other = alphabet.mid(random.bounded(int(alphabet.size())), 1);
        const QStringList titles{c, c + QStringLiteral(" final"), QStringLiteral("Al ") + c, other + other,
                                 QStringLiteral("Жизнь ") + other};
        for (const QString& title : titles) {
            const auto kind = allSignalKinds[size_t(random.bounded(3))];
            const int g = random.bounded(int(groupNames.size()));
            nodes.append(entry(kind, QString::number(nodes.size()), title, QString::number(g), groupNames[g]));
        }
    }
    for (bool parental : {false, true}) {
        SCOPED_TRACE(parental ? "parental" : "open");
        const QSet<QString> blocked{QStringLiteral("canal"), QStringLiteral("3")};
        const auto snapshot = CatalogSnapshot::build(nodes, blocked, parental);
        const naive::Catalog ref = naive::apply(nodes, blocked, parental);
        const SmallThreadShares shares(parental ? 97 : 1'000'000);
        CatalogSearch search(snapshot);
        for (qsizetype i = 0; i < alphabet.size(); ++i) {
            const QString query = alphabet.mid(i, 1);
            SCOPED_TRACE("query \"" + query.toStdString() + "\"");
            EXPECT_SAME(describeAll(search.results(query)), describeAll(naive::searchResults(ref, query)));
        }
    }
}

// Typed searches narrow the kept results of the text before them. Titles are words over letters of very different
// frequencies, so a first letter holds anything from none to most of the visible titles, and the kept results
// narrowed are small and large. Every two-letter query typed after its first letter (and then erased again, as a
// correction does), three-letter words typed on after a correction, against the reference ranking: rank, title
// order, catalogue order, group names included.
TEST(CatalogEquivalence, TypedSearchesMatchTheReference)
{
    QRandomGenerator random{2024};
    const QString letters = QStringLiteral("eeeeeeaaaaaooooiiinnnrrrssttlcdmpuábfgñhvyjqxzkwÉ");
    auto word = [&](int length) {
        QString w;
        for (int i = 0; i < length; ++i)
            w += letters.at(random.bounded(int(letters.size())));
        return w;
    };
    auto phrase = [&] {
        QString text = word(2 + random.bounded(5));
        if (random.bounded(2) == 0)
            text += u' ' + word(2 + random.bounded(5));
        return text;
    };
    QStringList groupNames;
    for (int g = 0; g < 40; ++g)
        groupNames.append(word(3 + random.bounded(3)));
    QList<MediaNode> nodes;
    for (int i = 0; i < 3'000; ++i) {
        const int g = random.bounded(int(groupNames.size()));
        // Two-letter titles equal a query; repeated titles come out in catalogue order.
        QString title = random.bounded(25) == 0                       ? word(2)
                        : random.bounded(20) == 0 && !nodes.isEmpty() ? nodes[random.bounded(int(nodes.size()))].title
                                                                      : phrase();
        MediaNode n = entry(allSignalKinds[size_t(random.bounded(3))], QString::number(i), title, QString::number(g),
                            groupNames[g]);
        if (random.bounded(12) == 0)
            n.groupName = word(4);
        nodes.append(n);
    }
    const QSet<QString> blocked{QStringLiteral("3"), groupNames[7]};
    const auto snapshot = CatalogSnapshot::build(nodes, blocked, true);
    const naive::Catalog ref = naive::apply(nodes, blocked, true);

    QStringList alphabet;
    for (char c = 'a'; c <= 'z'; ++c)
        alphabet.append(QString(QLatin1Char(c)));
    alphabet.append(QStringLiteral("ñ"));
    auto check = [&](CatalogSearch& search, const QString& query) {
        SCOPED_TRACE("typed \"" + query.toStdString() + "\"");
        EXPECT_SAME(describeAll(search.results(query)), describeAll(naive::searchResults(ref, query)));
    };
    // Alone, and shared out over threads (the narrowing too, past a few hundred kept results).
    for (uint32_t share : {1'000'000U, 97U}) {
        SCOPED_TRACE("entries per thread " + std::to_string(share));
        const SmallThreadShares shares(share);
        for (const QString& first : alphabet) {
            CatalogSearch typed(snapshot);
            for (const QString& second : alphabet) {
                check(typed, first);
                check(typed, first + second);
            }
        }
    }
    // Words from the titles typed letter by letter, corrected at the third letter and typed on.
    for (int i = 0; i < 60; ++i) {
        const QString title = nodes[random.bounded(int(nodes.size()))].title;
        const QString text = title.mid(random.bounded(int(title.size()) - 1), 5);
        CatalogSearch typed(snapshot);
        for (qsizetype k = 1; k <= text.size(); ++k)
            check(typed, text.left(k));
        check(typed, text.left(2));
        check(typed, text.left(2) + alphabet[random.bounded(int(alphabet.size()))]);
        check(typed, text.left(3));
    }
}
