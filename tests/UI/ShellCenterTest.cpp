#include "AppHarness.h"
#include "CommandDeckProbe.h"

#include "State/CatalogSnapshot.h"
#include "UI/UiConfig.h"

#include <QAccessible>
#include <QQmlApplicationEngine>
#include <QSignalSpy>
#include <QWheelEvent>

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

// 30 films in one category named like an interface text, a channel whose id and category id are also a film's,
// a series.
QList<MediaNode> wideCatalogue()
{
    QList<MediaNode> nodes;
    for (int id = 1; id <= 30; ++id)
        nodes.append(entry(SignalKind::cinema, id, QStringLiteral("5"), QStringLiteral("Películas")));
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
    // The text cursor is in the search field: typing goes there at once.
    EXPECT_TRUE(app.waitFor([&] { return app.property("discover.field", "activeFocus").toBool(); }));
    app.typeKeys(QStringLiteral("Uno"));
    EXPECT_TRUE(app.waitFor([&] { return app.deck().searchText() == "Uno"; }));
    app.deck().setSearchText(QString());
    const QPointer<QObject> discover = app.find("discover.console");
    app.item("discover.field")->setFocus(false);
    ASSERT_TRUE(app.click("shell.search"));
    app.idle();
    EXPECT_EQ(app.deck().dock(), CommandDeck::Dock::discover);
    EXPECT_TRUE(discover && app.find("discover.console") == discover);
    EXPECT_TRUE(app.waitFor([&] { return app.property("discover.field", "activeFocus").toBool(); }));

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

    // Dragged far past its end the rail stops at the last tile that can lead, and a drag back moves at once.
    QObject* view = railItem->property("view").value<QObject*>();
    const auto dragBy = [&](int dx) {
        const QPoint start = railItem->mapToScene(QPointF(dx < 0 ? railItem->width() - 60 : 60,
                                                          railItem->height() / 2)).toPoint();
        QTest::mousePress(app.window(), Qt::LeftButton, {}, start);
        for (int moved = 0; moved != dx; moved += dx < 0 ? -20 : 20)
            QTest::mouseMove(app.window(), start + QPoint(moved, 0));
        QTest::mouseMove(app.window(), start + QPoint(dx, 0));
        QTest::mouseRelease(app.window(), Qt::LeftButton, {}, start + QPoint(dx, 0));
        app.idle();
    };
    const auto viewEnd = [&] {
        return view->property("contentWidth").toDouble() - view->property("width").toDouble() +
               view->property("originX").toDouble();
    };
    dragBy(-3000);
    const int last = railItem->property("leadingIndex").toInt();
    EXPECT_LT(last, 21);
    EXPECT_NEAR(view->property("contentX").toDouble(), viewEnd(), 1.0);
    dragBy(100);
    EXPECT_EQ(railItem->property("leadingIndex").toInt(), last - 1);
    EXPECT_LT(view->property("contentX").toDouble(), viewEnd() - 1.0);
    wheel(QPoint(-1200, 0));
    EXPECT_EQ(railItem->property("leadingIndex").toInt(), last);
    wheel(QPoint(120, 0));
    EXPECT_EQ(railItem->property("leadingIndex").toInt(), last - 1);
    EXPECT_LT(view->property("contentX").toDouble(), viewEnd() - 1.0);
    wheel(QPoint(2400, 0));

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
    // The category's own name, not the interface text it happens to equal.
    EXPECT_EQ(app.property(lane + ".title", "text").toString(), "Películas");
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
    EXPECT_EQ(app.deck().chosenGroup(), (MediaGroup{"movies:5", "Películas", SignalKind::cinema}));

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

    // The platform's own lane texts are data too, even where they equal the deck's fixed lane texts.
    CommandFeed prepared;
    prepared.revision = 4;
    const QList<MediaNode> catalogue = wideCatalogue();
    prepared.lanes.append({QStringLiteral("estrenos"), QStringLiteral("Series"), QStringLiteral("Películas"),
                           catalogue.first(6)});
    CommandDeckProbe::install(app.deck(), catalogue, prepared);
    app.deck().selectLanguage(AppLanguage::english);
    ASSERT_EQ(app.deck().feed()->lanes.first().id, QStringLiteral("estrenos"));
    reveal(app, 2);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("center.lane.0.title"); }));
    EXPECT_EQ(app.property("center.lane.0.title", "text").toString(), "Series");
    EXPECT_EQ(app.property("center.lane.0.subtitle", "text").toString(), "Películas");
    app.deck().selectLanguage(AppLanguage::spanish);
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
    // A screen reader that starts (and stops) while the application runs.
    QAccessible::setActive(true);
    EXPECT_FALSE(app.isShown("carousel.pause"));
    EXPECT_TRUE(holds()) << "screen reader";
    QAccessible::setActive(false);
    EXPECT_TRUE(app.isShown("carousel.pause"));
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
    app.singleton<ui::Details>().closeDetails();
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

// A very long identity name elides in the header's capsule and on its tile: the brand, the section title and the
// search button stay in sight in the smallest window.
TEST_F(ShellCenterTest, aLongIdentityNameLeavesTheHeaderInSight)
{
    AppHarness& app = open({.size = {1080, 700}});
    app.connectPanel(QString(10000, QChar(u'W')));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("shell.identity.name"); }));
    app.drawn();
    const auto rect = [&](const QString& name) {
        QQuickItem* item = app.item(name);
        return item ? QRectF(item->mapToScene(QPointF(0, 0)), QSizeF(item->width(), item->height())) : QRectF();
    };
    const QRectF window(0, 0, app.window()->width(), app.window()->height());
    const QRectF capsule = rect("shell.identity");
    EXPECT_TRUE(window.contains(capsule));
    for (const char* name : {"shell.brandName", "shell.title", "shell.search"}) {
        EXPECT_TRUE(window.contains(rect(name))) << name;
        EXPECT_FALSE(capsule.intersects(rect(name))) << name;
    }

    app.deck().setPhase(CommandDeck::Phase::profiles);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("identity.tile.0.name"); }));
    app.drawn();
    const QRectF tile = rect("identity.tile.0");
    EXPECT_TRUE(window.contains(tile));
    EXPECT_TRUE(tile.contains(rect("identity.tile.0.name")));
}

// What a person clicks in the centre: the featured page opens its entry and its heart keeps it; a resume card
// plays from its point; "Todo", "Ver todas" and a category card open the library where they say.
TEST_F(ShellCenterTest, theCentresCommonActionsLeadWhereTheySay)
{
    AppHarness& app = open();
    app.connectPanel();
    CommandDeckProbe::install(app.deck(), wideCatalogue());
    uiConfig(app).setCarouselInterval(600000);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("carousel.page"); }));
    settle(app);
    const auto favourite = [&](const MediaNode& node) {
        for (const MediaNode& kept : app.deck().centerFavoriteNodes()) {
            if (kept.catalogKey() == node.catalogKey())
                return true;
        }
        return false;
    };

    const MediaNode featured = app.deck().spotlightNodes()[app.property("carousel", "index").toInt()];
    ASSERT_TRUE(app.click("carousel.favorite"));
    EXPECT_TRUE(app.waitFor([&] { return favourite(featured); }));
    ASSERT_TRUE(app.click("carousel.page"));
    if (featured.kind == SignalKind::broadcast) {
        ASSERT_TRUE(app.waitFor([&] { return app.deck().playback().has_value(); }));
        EXPECT_EQ(app.deck().playback()->node.catalogKey(), featured.catalogKey());
        app.deck().closePlayback(0);
        ASSERT_TRUE(app.waitFor([&] { return !app.deck().playback() && !app.property("root.player", "active").toBool(); }));
    } else {
        ASSERT_TRUE(app.waitFor([&] { return app.isShown("detail.title"); }));
        EXPECT_EQ(app.deck().selectedNode()->catalogKey(), featured.catalogKey());
        app.key(Qt::Key_Escape);
        ASSERT_TRUE(app.waitFor([&] { return !app.deck().selectedNode() && !app.isShown("detail.title"); }));
    }

    const NodeView films = app.deck().nodesByKind().value(SignalKind::cinema);
    app.deck().addResume(films[3], 0.4, std::nullopt);
    // The resume rail appears with its first card: wait until the card stands inside the centre's viewport.
    QQuickItem* centre = app.item("center.console");
    ASSERT_TRUE(app.waitFor([&] {
        reveal(app, 0);
        QQuickItem* card = app.item("center.resume.card.0.open");
        if (!card || !app.isShown("center.resume.card.0.open"))
            return false;
        const QRectF inCentre = card->mapRectToItem(centre, QRectF(0, 0, card->width(), card->height()));
        return inCentre.top() >= 0 && inCentre.bottom() <= centre->height() + 1;
    }));
    ASSERT_TRUE(app.click("center.resume.card.0.open"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().playback().has_value(); }));
    EXPECT_EQ(app.deck().playback()->node.catalogKey(), films[3].catalogKey());
    EXPECT_NEAR(app.deck().playback()->resumeFraction, 0.4, 1e-9);
    app.deck().closePlayback(0.4);
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().playback().has_value(); }));

    reveal(app, 0);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("center.shortcut.all"); }));
    ASSERT_TRUE(app.click("center.shortcut.all"));
    EXPECT_EQ(app.deck().dock(), CommandDeck::Dock::library);
    EXPECT_EQ(app.deck().chosenKind(), std::nullopt);

    // The category cards close the centre.
    const auto backToGateway = [&] {
        app.deck().selectDock(CommandDeck::Dock::center);
        if (!app.waitFor([&] { return app.find("center.console"); }))
            return false;
        // The list learns its full height as it builds the blocks on the way: scroll until the cards are in it.
        QQuickItem* console = app.item("center.console");
        return app.waitFor([&] {
            QMetaObject::invokeMethod(console, "positionViewAtEnd");
            settle(app);
            QQuickItem* card = app.item("center.gateway.group.0");
            return card && app.isShown("center.gateway.group.0") &&
                   card->mapToItem(console, QPointF(0, card->height())).y() <= console->height() + 1;
        });
    };
    ASSERT_TRUE(backToGateway());
    ASSERT_TRUE(app.click("center.gateway.all"));
    EXPECT_EQ(app.deck().dock(), CommandDeck::Dock::library);
    EXPECT_EQ(app.deck().chosenKind(), std::nullopt);
    EXPECT_EQ(app.deck().chosenGroup(), std::nullopt);

    ASSERT_TRUE(backToGateway());
    const QString groupId = app.property("center.gateway.group.0", "groupId").toString();
    ASSERT_TRUE(app.click("center.gateway.group.0"));
    EXPECT_EQ(app.deck().dock(), CommandDeck::Dock::library);
    ASSERT_TRUE(app.deck().chosenGroup().has_value());
    EXPECT_EQ(app.deck().chosenGroup()->id, groupId);
    EXPECT_TRUE(app.waitFor([&] { return app.isShown("library.grid"); }));
}

} // namespace uitest
