#include "AppHarness.h"

#include "State/CatalogSnapshot.h"
#include "UI/UiConfig.h"

#include <QQmlApplicationEngine>
#include <QSignalSpy>
#include <QWheelEvent>

namespace sendra {

// Installs a catalogue the way the loading flows do, without a panel.
struct CommandDeckProbe {
    static void install(CommandDeck& deck, const QList<MediaNode>& nodes)
    {
        deck.installCatalog(CatalogEntries::prepare(nodes), std::nullopt, CommandDeck::FeedSource::loadedEntries);
    }
};

} // namespace sendra

namespace uitest {

namespace {

MediaNode entry(SignalKind kind, int id, const QString& group, const QString& groupName)
{
    MediaNode node;
    node.id = QString::number(id);
    node.title = QStringLiteral("Título %1 %2").arg(storedValue(kind)).arg(id);
    node.kind = kind;
    node.groupID = group;
    node.groupName = groupName;
    node.fileSuffix = QStringLiteral("mp4");
    node.directURL = QUrl(QStringLiteral("http://127.0.0.1:9/%1.mp4").arg(id));
    return node;
}

// 30 films in one category, a channel whose id and category id are also a film's, a series.
QList<MediaNode> wideCatalogue()
{
    QList<MediaNode> nodes;
    for (int id = 1; id <= 30; ++id)
        nodes.append(entry(SignalKind::cinema, id, QStringLiteral("5"), QStringLiteral("Acción")));
    nodes.append(entry(SignalKind::broadcast, 1, QStringLiteral("5"), QStringLiteral("Noticias")));
    nodes.append(entry(SignalKind::episodic, 40, QStringLiteral("7"), QStringLiteral("Drama")));
    return nodes;
}

ui::UiConfig& uiConfig(AppHarness& app)
{
    auto& engine = app.app->engine();
    return *engine.singletonInstance<ui::UiConfig*>(qmlTypeId("Sendra.App", 1, 0, "UiConfig"));
}

// The rail of the feed lane whose entries are in this category.
QString laneWithGroup(AppHarness& app, const QString& groupKey)
{
    const auto& lanes = app.deck().feed()->lanes;
    for (qsizetype i = 0; i < lanes.size(); ++i) {
        const auto& nodes = lanes[i].nodes;
        if (!nodes.isEmpty() && catalogKey(nodes.first().kind, nodes.first().groupID) == groupKey)
            return QStringLiteral("center.lane.%1").arg(i);
    }
    return {};
}

// Lets the window draw a frame, so that positioners and views have laid out what changed.
void settle(AppHarness& app)
{
    QSignalSpy frames(app.window(), &QQuickWindow::frameSwapped);
    app.window()->update();
    frames.wait(3000);
}

// Scrolls the centre so that a block (0 resume, 1 favourites, 2 + n lane n) is at the top: blocks far from
// the visible area are not built.
void reveal(AppHarness& app, int block)
{
    QObject* console = app.find(QStringLiteral("center.console"));
    ASSERT_NE(console, nullptr);
    QMetaObject::invokeMethod(console, "positionViewAtIndex", Q_ARG(int, block), Q_ARG(int, 1));
    settle(app);
}

} // namespace

using ShellCenterTest = AppTest;

// The dock shows each section's console under its title, the search button goes to discover without clearing
// the library's way back, the shield follows the parental switch and the identity capsule leads to the
// identity screen.
TEST_F(ShellCenterTest, dockSearchShieldAndIdentityCapsule)
{
    AppHarness& app = open();
    app.connectPanel();
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("center.console"); }));
    EXPECT_EQ(app.property("shell.title", "text").toString(), "Centro");
    EXPECT_EQ(app.property("shell.identity.name", "text").toString(), "Ana");
    EXPECT_FALSE(app.isShown("shell.parental"));

    settle(app);
    const std::pair<const char*, const char*> sections[] = {
        {"shell.dock.library", "library.console"}, {"shell.dock.discover", "discover.console"},
        {"shell.dock.systems", "systems.console"}, {"shell.dock.center", "center.console"}};
    for (const auto& [button, console] : sections) {
        ASSERT_TRUE(app.click(button)) << button;
        // Captured by name: clang 14 cannot capture a structured binding.
        EXPECT_TRUE(app.waitFor([&app, name = console] { return app.isShown(name); })) << console;
    }
    EXPECT_EQ(app.deck().dock(), CommandDeck::Dock::center);
    EXPECT_EQ(app.find("library.console"), nullptr);

    // A shortcut opens the library on its kind; the search button shows discover, and pressed again keeps the
    // same console.
    ASSERT_TRUE(app.click("center.shortcut.movies"));
    EXPECT_EQ(app.deck().dock(), CommandDeck::Dock::library);
    EXPECT_EQ(app.deck().chosenKind(), SignalKind::cinema);
    ASSERT_TRUE(app.click("shell.search"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("discover.console"); }));
    const QPointer<QObject> discover = app.find("discover.console");
    ASSERT_TRUE(app.click("shell.search"));
    app.idle();
    EXPECT_EQ(app.deck().dock(), CommandDeck::Dock::discover);
    EXPECT_TRUE(discover && app.find("discover.console") == discover);

    app.deck().selectLanguage(AppLanguage::english);
    EXPECT_EQ(app.property("shell.title", "text").toString(), "Explore");
    app.deck().setParental(true);
    EXPECT_TRUE(app.waitFor([&] { return app.isShown("shell.parental"); }));
    app.deck().setParental(false);
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("shell.parental"); }));

    ASSERT_TRUE(app.click("shell.identity"));
    EXPECT_EQ(app.deck().phase(), CommandDeck::Phase::profiles);
    EXPECT_TRUE(app.waitFor([&] { return app.find("identity.screen") && !app.find("shell.screen"); }));
    app.deck().selectLanguage(AppLanguage::spanish);
}

// The centre of an empty catalogue holds only the shortcuts and the counts; a single featured entry shows its
// page without controls; counts use the language's digit grouping.
TEST_F(ShellCenterTest, emptyCentreAndSingleSpotlight)
{
    AppHarness& app = open();
    app.connectPanel();
    CommandDeckProbe::install(app.deck(), {});
    ASSERT_TRUE(app.waitFor([&] { return !app.isShown("carousel"); }));
    for (const char* block : {"center.resume", "center.favorites", "center.lane.0", "center.gateway"})
        EXPECT_FALSE(app.isShown(block)) << block;
    EXPECT_TRUE(app.isShown("center.shortcut.all"));
    EXPECT_TRUE(app.isShown("center.counts"));

    QList<MediaNode> many;
    for (int id = 0; id < 12345; ++id)
        many.append(entry(SignalKind::cinema, id, QStringLiteral("5"), QStringLiteral("Acción")));
    many.removeLast();
    many.append(entry(SignalKind::broadcast, 1, QStringLiteral("1"), QStringLiteral("Noticias")));
    CommandDeckProbe::install(app.deck(), many);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("center.count.movies"); }));
    EXPECT_EQ(app.property("center.count.movies.value", "text").toString(), "12.344");
    EXPECT_EQ(app.property("center.count.tv.value", "text").toString(), "1");
    app.deck().selectLanguage(AppLanguage::english);
    EXPECT_EQ(app.property("center.count.movies.value", "text").toString(), "12,344");
    app.deck().selectLanguage(AppLanguage::spanish);

    CommandDeckProbe::install(app.deck(), {entry(SignalKind::cinema, 1, QStringLiteral("5"), QStringLiteral("Acción"))});
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("carousel.page"); }));
    EXPECT_FALSE(app.isShown("carousel.next"));
    uiConfig(app).setCarouselInterval(50);
    app.idle(250);
    EXPECT_EQ(app.property("carousel", "index").toInt(), 0);
}

// Rails show at most 22 tiles and 12 resume cards; "Ver más" decides over all of a rail's entries; a heart
// flipped on one tile shows on every tile, card and page of the same entry (and in its menu); a drag moves
// the rail by whole items; the rail texts go through the lookup.
TEST_F(ShellCenterTest, railsCapsDestinationsFavouritesAndDrag)
{
    AppHarness& app = open();
    app.connectPanel();
    CommandDeckProbe::install(app.deck(), wideCatalogue());
    const NodeView films = app.deck().nodesByKind().value(SignalKind::cinema);
    const QString lane = laneWithGroup(app, QStringLiteral("movies:5"));
    ASSERT_FALSE(lane.isEmpty());
    const int laneBlock = 2 + lane.section('.', 2).toInt();
    const QList<MediaNode>& laneNodes = app.deck().feed()->lanes[laneBlock - 2].nodes;
    ASSERT_GE(laneNodes.size(), 23);
    // 13 resume points, the newest (first card) being the lane's second entry.
    for (qsizetype i = 0, added = 0; added < 12; ++i) {
        if (films[i].catalogKey() != laneNodes[1].catalogKey()) {
            app.deck().addResume(films[i], 0.25, std::nullopt);
            ++added;
        }
    }
    app.deck().addResume(laneNodes[1], 0.5, std::nullopt);
    EXPECT_TRUE(app.waitFor([&] { return app.property("center.resume.rail", "count").toInt() == 12; }));
    reveal(app, laneBlock);
    EXPECT_TRUE(app.waitFor([&] { return app.property(lane + ".rail", "count").toInt() == 22; }));

    // A drag of 200 px to the left moves two tiles; back to 100 px, one.
    const auto drag = [&](const QString& name, int across, int back) {
        QQuickItem* rail = app.item(name);
        const QPoint start = rail->mapToScene(QPointF(rail->width() - 60, rail->height() / 2)).toPoint();
        QTest::mousePress(app.window(), Qt::LeftButton, {}, start);
        for (int dx = 10; dx <= across; dx += 10)
            QTest::mouseMove(app.window(), start - QPoint(dx, 0));
        const int farthest = rail->property("leadingIndex").toInt();
        QTest::mouseMove(app.window(), start - QPoint(back, 0));
        QTest::mouseRelease(app.window(), Qt::LeftButton, {}, start - QPoint(back, 0));
        app.idle();
        return farthest;
    };
    EXPECT_EQ(drag(lane + ".rail", 200, 100), 2);
    EXPECT_EQ(app.property(lane + ".rail", "leadingIndex").toInt(), 1);

    // A horizontal wheel notch steps the rail; a vertical one scrolls the page and leaves the rail alone.
    QQuickItem* railItem = app.item(lane + ".rail");
    QObject* console = app.find("center.console");
    const auto wheel = [&](QPoint angle) {
        static ulong time = 1000;
        const QPoint over = railItem->mapToScene(QPointF(100, railItem->height() / 2)).toPoint();
        QWheelEvent event(over, app.window()->mapToGlobal(over), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        event.setTimestamp(time += 200);
        QGuiApplication::sendEvent(app.window(), &event);
        app.idle();
    };
    const double top = console->property("contentY").toDouble();
    wheel(QPoint(-120, 0));
    EXPECT_EQ(railItem->property("leadingIndex").toInt(), 2);
    EXPECT_EQ(console->property("contentY").toDouble(), top);
    wheel(QPoint(0, 120));
    EXPECT_EQ(railItem->property("leadingIndex").toInt(), 2);
    EXPECT_TRUE(app.waitFor([&] { return console->property("contentY").toDouble() < top; }));
    reveal(app, laneBlock);
    wheel(QPoint(240, 0));
    EXPECT_EQ(railItem->property("leadingIndex").toInt(), 0);
    EXPECT_TRUE(app.deck().selectedNode() == std::nullopt) << "a drag is no tap";

    // The heart on a lane's tile: the favourites rail appears with it, the tile's menu offers removal.
    const QString tile = lane + ".tile.1";
    const QString key = app.property(tile, "title").toString();
    ASSERT_TRUE(app.click(tile + ".favorite"));
    EXPECT_TRUE(app.waitFor([&] { return app.property(tile + ".favorite", "isFavorite").toBool(); }));
    reveal(app, 0);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("center.favorites.tile.0.favorite"); }));
    EXPECT_TRUE(app.property("center.favorites.tile.0.favorite", "isFavorite").toBool());
    EXPECT_EQ(app.property("center.favorites.tile.0", "title").toString(), key);
    EXPECT_TRUE(app.property("center.resume.card.0.favorite", "isFavorite").toBool());
    reveal(app, laneBlock);
    ASSERT_TRUE(app.click(tile + ".open", Qt::RightButton));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown(tile + ".menu.toggle"); }));
    EXPECT_EQ(app.property(tile + ".menu.toggle", "text").toString(), "Quitar de favoritos");
    ASSERT_TRUE(app.click(tile + ".menu.toggle"));
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("center.favorites"); }));
    EXPECT_FALSE(app.property(tile + ".favorite", "isFavorite").toBool());

    // Favourites of two kinds sharing an id and a category id: two categories, so the whole library.
    app.deck().toggleFavorite(films[0]);
    app.deck().toggleFavorite(entry(SignalKind::broadcast, 1, QStringLiteral("5"), QStringLiteral("Noticias")));
    app.deck().selectLanguage(AppLanguage::english);
    reveal(app, 1);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("center.favorites.more"); }));
    EXPECT_EQ(app.property("center.favorites.title", "text").toString(), "Favorites");
    EXPECT_EQ(app.property("center.favorites.subtitle", "text").toString(), "Saved by Ana");
    reveal(app, laneBlock);
    EXPECT_EQ(app.property(lane + ".subtitle", "text").toString(), "Movies");
    reveal(app, 1);
    app.deck().selectLanguage(AppLanguage::spanish);
    ASSERT_TRUE(app.click("center.favorites.more"));
    EXPECT_EQ(app.deck().dock(), CommandDeck::Dock::library);
    EXPECT_EQ(app.deck().chosenKind(), std::nullopt);
    EXPECT_EQ(app.deck().chosenGroup(), std::nullopt);

    // A lane of one category opens that category, named after its first entry.
    app.deck().selectDock(CommandDeck::Dock::center);
    ASSERT_TRUE(app.waitFor([&] { return app.find("center.console"); }));
    reveal(app, laneBlock);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown(lane + ".more"); }));
    ASSERT_TRUE(app.click(lane + ".more"));
    EXPECT_EQ(app.deck().chosenKind(), SignalKind::cinema);
    EXPECT_EQ(app.deck().chosenGroup(), (MediaGroup{"movies:5", "Acción", SignalKind::cinema}));

    // The leading tile stays while it is among the rail's entries; once it is gone the rail starts over.
    app.deck().selectDock(CommandDeck::Dock::center);
    for (qsizetype i = 10; i < 18; ++i)
        app.deck().toggleFavorite(films[i]);
    const auto favouriteKeys = [&] {
        QStringList keys;
        for (const MediaNode& node : app.deck().centerFavoriteNodes())
            keys.append(node.catalogKey());
        return keys;
    };
    ASSERT_TRUE(app.waitFor([&] { return app.find("center.console"); }));
    reveal(app, 1);
    ASSERT_TRUE(app.waitFor([&] { return app.property("center.favorites.rail", "count").toInt() == 10; }));
    EXPECT_EQ(drag("center.favorites.rail", 200, 200), 2);
    const QString leading = app.property("center.favorites.rail", "scrollId").toString();
    EXPECT_EQ(leading, favouriteKeys()[2]);
    app.deck().toggleFavorite(films[5]);
    ASSERT_TRUE(app.waitFor([&] { return app.property("center.favorites.rail", "count").toInt() == 11; }));
    EXPECT_EQ(app.property("center.favorites.rail", "scrollId").toString(), leading);
    EXPECT_EQ(app.property("center.favorites.rail", "leadingIndex").toInt(), favouriteKeys().indexOf(leading));
    app.deck().toggleFavorite(app.deck().centerFavoriteNodes()[favouriteKeys().indexOf(leading)]);
    ASSERT_TRUE(app.waitFor([&] { return app.property("center.favorites.rail", "count").toInt() == 10; }));
    EXPECT_EQ(app.property("center.favorites.rail", "leadingIndex").toInt(), 0);
}

// The carousel turns by itself only while every condition holds, restarts when they hold again, wraps both
// ways and starts over on a new selection; a page replaced while held down leaves no press behind.
TEST_F(ShellCenterTest, carouselTurnsOnlyWhileEveryConditionHolds)
{
    AppHarness& app = open();
    app.connectPanel();
    CommandDeckProbe::install(app.deck(), wideCatalogue());
    ui::UiConfig& config = uiConfig(app);
    config.setCarouselInterval(60);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("carousel.page"); }));
    settle(app);
    const int count = int(app.deck().spotlightNodes().size());
    ASSERT_GE(count, 3);

    const auto index = [&] { return app.property("carousel", "index").toInt(); };
    const auto turns = [&] {
        const int before = index();
        return app.waitFor([&] { return index() != before; }, 2000);
    };
    const auto holds = [&] {
        const int before = index();
        app.idle(300);
        return index() == before;
    };

    EXPECT_TRUE(turns());
    ASSERT_TRUE(app.click("carousel.pause"));
    EXPECT_TRUE(holds()) << "paused";
    ASSERT_TRUE(app.click("carousel.pause"));
    EXPECT_TRUE(turns());

    config.setReduceMotion(true);
    EXPECT_FALSE(app.isShown("carousel.pause"));
    EXPECT_TRUE(holds()) << "reduce motion";
    config.setReduceMotion(false);
    config.setScreenReaderActive(true);
    EXPECT_TRUE(holds()) << "screen reader";
    config.setScreenReaderActive(false);
    config.setApplicationActive(false);
    EXPECT_TRUE(holds()) << "application inactive";
    config.setApplicationActive(true);
    EXPECT_TRUE(turns());

    QObject* console = app.find("center.console");
    console->setProperty("contentY", 2000);
    EXPECT_TRUE(holds()) << "scrolled away";
    QMetaObject::invokeMethod(console, "positionViewAtBeginning");
    EXPECT_TRUE(turns());

    app.deck().open(app.deck().nodesByKind().value(SignalKind::cinema)[0]);
    ASSERT_TRUE(app.deck().selectedNode().has_value());
    EXPECT_TRUE(holds()) << "detail sheet";
    app.adaptor().closeDetails();
    EXPECT_TRUE(turns());
    app.deck().play(app.deck().nodesByKind().value(SignalKind::cinema)[1]);
    ASSERT_TRUE(app.waitFor([&] { return app.deck().playback().has_value(); }));
    EXPECT_TRUE(holds()) << "playing";
    app.deck().closePlayback(0);
    EXPECT_TRUE(turns());

    // Held down: still; the page replaced under the finger: turning again.
    QQuickItem* page = app.item("carousel.page");
    const QPoint centre = page->mapToScene(QPointF(page->width() / 2, page->height() / 2)).toPoint();
    QTest::mousePress(app.window(), Qt::LeftButton, {}, centre);
    EXPECT_TRUE(holds()) << "held";
    app.deck().refreshSpotlights();
    ASSERT_TRUE(app.waitFor([&] { return index() == 0; }));
    EXPECT_TRUE(turns()) << "page replaced while held";
    QTest::mouseRelease(app.window(), Qt::LeftButton, {}, centre + QPoint(0, 400));

    // Manual moves wrap both ways; a new selection starts over.
    config.setCarouselInterval(600000);
    app.idle();
    const int total = int(app.deck().spotlightNodes().size());
    while (index() != 0)
        ASSERT_TRUE(app.click("carousel.next"));
    ASSERT_TRUE(app.click("carousel.previous"));
    EXPECT_EQ(index(), total - 1);
    ASSERT_TRUE(app.click("carousel.next"));
    EXPECT_EQ(index(), 0);
    ASSERT_TRUE(app.click("carousel.next"));
    ASSERT_TRUE(app.click("carousel.shuffle"));
    EXPECT_TRUE(app.waitFor([&] { return index() == 0; }));

    // Leaving the centre forgets the position.
    ASSERT_TRUE(app.click("carousel.next"));
    const QPointer<QObject> before = app.find("carousel");
    app.deck().selectDock(CommandDeck::Dock::library);
    app.deck().selectDock(CommandDeck::Dock::center);
    ASSERT_TRUE(app.waitFor([&] { return !before && app.find("carousel") != nullptr; }));
    EXPECT_EQ(index(), 0);
}

} // namespace uitest
