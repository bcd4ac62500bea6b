#include "AppHarness.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>

namespace uitest {

namespace {

std::string json(const QJsonArray& array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString();
}

// One live category; 13 film categories "Cine 01".."Cine 13" (the first holds 40 films, the others two each);
// seven series categories and "Matrix Animada". A few titles for the search ranks: "Matrix" (exact),
// "Matrix Recargado" (prefix), "El Matrix" (contains) and a series found only by its category's name.
void serveShelves(fakes::FakeXtreamPanel& panel)
{
    using fakes::Reply;
    panel.answer("get_live_categories", Reply::json(R"([{"category_id":"1","category_name":"Noticias"}])"));
    panel.answer("get_live_streams", Reply::json(R"([{"stream_id":1,"name":"Canal Uno","category_id":"1"}])"));

    QJsonArray filmCategories;
    QJsonArray films;
    int id = 100;
    for (int c = 1; c <= 13; ++c) {
        const QString category = QString::number(10 + c);
        filmCategories.append(QJsonObject{{"category_id", category},
                                          {"category_name", QStringLiteral("Cine %1").arg(c, 2, 10, QChar('0'))}});
        for (int i = 0; i < (c == 1 ? 40 : 2); ++i) {
            films.append(QJsonObject{{"stream_id", ++id}, {"category_id", category}, {"container_extension", "mp4"},
                                     {"name", QStringLiteral("Película %1").arg(id)}});
        }
    }
    for (const char* title : {"El Matrix", "Matrix Recargado", "Matrix"})
        films.append(QJsonObject{{"stream_id", ++id}, {"category_id", "12"}, {"name", title}});
    panel.answer("get_vod_categories", Reply::json(json(filmCategories)));
    panel.answer("get_vod_streams", Reply::json(json(films)));

    QJsonArray seriesCategories;
    QJsonArray series;
    for (int c = 1; c <= 8; ++c) {
        const QString category = QString::number(40 + c);
        seriesCategories.append(QJsonObject{
            {"category_id", category},
            {"category_name", c == 8 ? QStringLiteral("Matrix Animada") : QStringLiteral("Series %1").arg(c)}});
        series.append(QJsonObject{{"series_id", ++id}, {"category_id", category},
                                  {"name", c == 8 ? QStringLiteral("Capítulos Sueltos") : QStringLiteral("Serie %1").arg(id)}});
    }
    panel.answer("get_series_categories", Reply::json(json(seriesCategories)));
    panel.answer("get_series", Reply::json(json(series)));
}

AppHarness& openOnShelves(AppTest& test, std::unique_ptr<AppHarness>& harness, CommandDeck::Dock dock)
{
    AppHarness::Options options;
    options.serveCatalogue = false;
    options.prepare = [](AppHarness& app) { serveShelves(app.panel); };
    harness = std::make_unique<AppHarness>(std::move(options));
    EXPECT_TRUE(harness->start());
    harness->connectPanel();
    harness->deck().selectDock(dock);
    (void)test;
    return *harness;
}

// The rows' list and the delegate of row `index` that lies in its viewport (pooled delegates keep their names).
QQuickItem* rowsView(const AppHarness& app)
{
    return app.item(QStringLiteral("library.rows"));
}

QQuickItem* shownRow(const AppHarness& app, int index)
{
    QQuickItem* rows = rowsView(app);
    if (!rows)
        return nullptr;
    const qreal top = rows->property("contentY").toReal();
    auto* content = rows->property("contentItem").value<QQuickItem*>();
    for (QQuickItem* row : content->childItems()) {
        if (row->objectName() == QStringLiteral("library.row.%1").arg(index) && row->isVisible() &&
            row->y() + row->height() > top && row->y() < top + rows->height())
            return row;
    }
    return nullptr;
}

// Scrolls row `index` into view and presses its "Ver todos".
bool openRow(AppHarness& app, int index)
{
    QQuickItem* rows = rowsView(app);
    if (!rows)
        return false;
    QMetaObject::invokeMethod(rows, "positionViewAtIndex", Q_ARG(int, index), Q_ARG(int, 1 /* Beginning */));
    QQuickItem* row = nullptr;
    if (!app.waitFor([&] { return (row = shownRow(app, index)) != nullptr; }))
        return false;
    QQuickItem* button = nullptr;
    for (QQuickItem* candidate : row->findChildren<QQuickItem*>(QStringLiteral("library.row.%1.open").arg(index)))
        button = candidate;
    if (!button)
        return false;
    const QPointF centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
    QTest::mouseClick(app.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return app.waitFor([&] { return app.isShown("library.grid"); });
}

int rowCount(const AppHarness& app)
{
    return rowsView(app) ? rowsView(app)->property("count").toInt() : -1;
}

// Scrolls to the end of the rows and presses "Más categorías".
bool pressMore(AppHarness& app)
{
    if (!rowsView(app))
        return false;
    QMetaObject::invokeMethod(rowsView(app), "positionViewAtEnd");
    app.idle(20);
    return app.click("library.more");
}

int allowance(const AppHarness& app)
{
    return app.property("library.console", "visibleCategoryCount").toInt();
}

// The row whose top is the top of the rows' viewport; -1 when none.
int topRow(const AppHarness& app)
{
    QQuickItem* rows = rowsView(app);
    const qreal top = rows->property("contentY").toReal();
    for (int i = 0; i < rowCount(app); ++i) {
        if (QQuickItem* row = shownRow(app, i); row && qAbs(row->y() - top) < 1)
            return i;
    }
    return -1;
}

} // namespace

class LibraryDiscoverTest : public AppTest
{
protected:
    AppHarness& open(CommandDeck::Dock dock) { return openOnShelves(*this, harness, dock); }
};

// 13 film categories: 6, 12, then 13 rows; "Ver todos" keeps the rows up to the end of the opened row's page
// (row 5 of 6 keeps 6, row 7 of 12 keeps 12, the last of 13 allows 18) and the way back shows them all again.
// A row shows 16 of its category's 40 entries and counts all 40.
TEST_F(LibraryDiscoverTest, rowsPageInBySixAndOpeningARowKeepsItsPage)
{
    AppHarness& app = open(CommandDeck::Dock::library);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("library.console"); }));
    ASSERT_TRUE(app.click("library.chip.movies"));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 6 && app.isShown("library.more"); })) << rowCount(app);
    EXPECT_EQ(app.property("library.row.0.rail", "count").toInt(), 16);
    EXPECT_EQ(app.property("library.row.0.count", "text").toString(), "40 elementos");
    EXPECT_EQ(app.property("library.count", "text").toString(), "67 elementos");

    ASSERT_TRUE(openRow(app, 5));
    EXPECT_EQ(allowance(app), 6);
    EXPECT_EQ(app.property("library.count", "text").toString(), "2 elementos");
    ASSERT_TRUE(app.click("library.back"));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 6; }));

    ASSERT_TRUE(pressMore(app));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 12 && app.isShown("library.more"); }));
    ASSERT_TRUE(openRow(app, 7));
    EXPECT_EQ(allowance(app), 12);
    ASSERT_TRUE(app.click("library.back"));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 12; }));

    ASSERT_TRUE(pressMore(app));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 13; }));
    EXPECT_FALSE(app.isShown("library.more"));
    ASSERT_TRUE(openRow(app, 12));
    EXPECT_EQ(allowance(app), 18);
    ASSERT_TRUE(app.click("library.back"));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 13; }));
    EXPECT_FALSE(app.isShown("library.more"));

    // A language switch redraws the chips and the counts at once.
    app.deck().selectLanguage(AppLanguage::english);
    EXPECT_TRUE(app.waitFor([&] { return app.property("library.chip.movies", "text").toString() == "Movies"; }));
    EXPECT_EQ(app.property("library.count", "text").toString(), "67 items");
    app.deck().selectLanguage(AppLanguage::spanish);
}

// With the kind already on films, the way back from a row's grid brings that row back to the top with the rows
// it had. From "Todo" the kind changes twice, so the rows start over from the top with six; a chip resets them
// too. A category chosen in the menu sets the kind to its own.
TEST_F(LibraryDiscoverTest, theWayBackRestoresTheRowUnlessTheKindChanged)
{
    AppHarness& app = open(CommandDeck::Dock::library);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("library.console"); }));
    ASSERT_TRUE(app.click("library.chip.movies"));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 6; }));
    ASSERT_TRUE(pressMore(app));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 12; }));
    ASSERT_TRUE(openRow(app, 8));
    ASSERT_TRUE(app.click("library.back"));
    ASSERT_TRUE(app.waitFor([&] { return rowsView(app) && topRow(app) == 8; })) << topRow(app);
    EXPECT_EQ(rowCount(app), 12);

    // A chip changes the kind: six rows, nothing remembered.
    ASSERT_TRUE(app.click("library.chip.all"));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 6 && app.deck().chosenKind() == std::nullopt; }));
    EXPECT_EQ(app.property("library.console", "restoreGroupId").toString(), "");
    ASSERT_TRUE(pressMore(app));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 12; }));
    ASSERT_TRUE(openRow(app, 8));
    EXPECT_EQ(app.deck().chosenKind(), SignalKind::cinema);
    ASSERT_TRUE(app.click("library.back"));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 6 && app.deck().chosenKind() == std::nullopt; }));
    app.idle(50);
    EXPECT_TRUE(rowsView(app)->property("atYBeginning").toBool());
    EXPECT_EQ(app.property("library.console", "restoreGroupId").toString(), "");

    // The menu lists every category of the kind; choosing one sets its kind as the filter.
    ASSERT_TRUE(app.click("library.menu"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("library.menu.item.0"); }));
    EXPECT_EQ(app.property("library.menu.item.0", "text").toString(), "Noticias");
    ASSERT_TRUE(app.click("library.menu.item.0"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("library.grid"); }));
    EXPECT_EQ(app.deck().chosenKind(), SignalKind::broadcast);
    EXPECT_EQ(app.property("library.menu", "text").toString(), "Noticias");
    EXPECT_EQ(app.property("library.count", "text").toString(), "1 elementos");
    ASSERT_TRUE(app.click("library.menu"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("library.menu.all"); }));
    ASSERT_TRUE(app.click("library.menu.all"));
    ASSERT_TRUE(app.waitFor([&] { return rowCount(app) == 1; }));
    EXPECT_EQ(app.deck().chosenKind(), SignalKind::broadcast);
}

// Blank text (spaces, a line break) shows the browse view yet keeps the clear button; no match shows the empty
// state; the browse view shows the first 18 categories in the deck's order; the results keep the deck's ranking
// and the field writes the deck's text on every keystroke. A category tile leads to the library and back.
TEST_F(LibraryDiscoverTest, discoverShowsBrowseNoMatchOrTheRankedResults)
{
    AppHarness& app = open(CommandDeck::Dock::discover);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("discover.browse"); }));
    const QList<MediaGroup> groups = app.deck().groups();
    ASSERT_EQ(groups.size(), 22);
    ASSERT_TRUE(app.waitFor([&] { return app.find("discover.category.17.name"); }));
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(app.property(QStringLiteral("discover.category.%1.name").arg(i), "text").toString(), groups[i].name);
    EXPECT_EQ(app.find("discover.category.18"), nullptr);
    EXPECT_FALSE(app.isShown("discover.clear"));

    ASSERT_TRUE(app.type("discover.field", "   "));
    EXPECT_EQ(app.deck().searchText(), "   ");
    EXPECT_TRUE(app.isShown("discover.browse"));
    ASSERT_TRUE(app.click("discover.clear"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().searchText().isEmpty() && !app.isShown("discover.clear"); }));
    EXPECT_EQ(app.property("discover.field", "text").toString(), "");
    app.deck().setSearchText(QStringLiteral("\n "));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("discover.clear"); }));
    EXPECT_TRUE(app.isShown("discover.browse"));

    ASSERT_TRUE(app.type("discover.field", "zzqx"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("discover.none"); }));
    ASSERT_TRUE(app.click("discover.clear"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("discover.browse"); }));

    ASSERT_TRUE(app.type("discover.field", "matr"));
    EXPECT_EQ(app.deck().searchText(), "matr");
    app.key(Qt::Key_I);
    app.key(Qt::Key_X);
    EXPECT_EQ(app.deck().searchText(), "matrix");
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("discover.results"); }));
    const NodeView results = app.deck().searchResults();
    ASSERT_EQ(results.size(), 4);
    ASSERT_EQ(app.property("discover.results", "count").toInt(), 4);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(app.waitFor([&] { return app.find(QStringLiteral("discover.result.%1").arg(i)); }));
        EXPECT_EQ(app.property(QStringLiteral("discover.result.%1").arg(i), "title").toString(), results[i].title);
    }
    EXPECT_EQ(results[0].title, "Matrix");
    EXPECT_EQ(results[3].title, "Capítulos Sueltos");
    ASSERT_TRUE(app.click("discover.clear"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("discover.browse"); }));

    // A category tile opens the library on it; the way back returns to discover.
    ASSERT_TRUE(app.click("discover.category.1"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("library.grid"); }));
    ASSERT_TRUE(app.deck().chosenGroup().has_value());
    EXPECT_EQ(*app.deck().chosenGroup(), groups[1]);
    EXPECT_EQ(app.deck().chosenKind(), groups[1].kind);
    ASSERT_TRUE(app.click("library.back"));
    EXPECT_TRUE(app.waitFor([&] { return app.isShown("discover.browse"); }));
}

// A film's tile opens its detail sheet, left by "Cerrar" or by Escape with the selection cleared; a channel's
// tile plays it. Typing fast over results still being built leaves no warning behind, and a pooled tile shows the
// heart of the row it shows now.
TEST_F(LibraryDiscoverTest, tilesOpenTheirSheetOrPlayAndTheSheetClosesBothWays)
{
    AppHarness& app = open(CommandDeck::Dock::discover);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("discover.field"); }));
    // The grid makes its tiles before the first word, while nobody types, and the first word's rows take them:
    // it makes none of its own.
    const auto tilesMade = [&] { return app.property("discover.results", "tilesMade").toInt(); };
    ASSERT_TRUE(app.waitFor([&] { return tilesMade() >= 4; }));
    const int madeAhead = tilesMade();
    ASSERT_TRUE(app.type("discover.field", "Película"));
    const NodeView first = app.deck().searchResults();
    ASSERT_GE(first.size(), madeAhead);
    ASSERT_TRUE(app.waitFor([&] { return app.property("discover.result.0", "title").toString() == first[0].title; }));
    for (int i = 0; i < madeAhead; ++i) {
        EXPECT_EQ(app.property(QStringLiteral("discover.result.%1").arg(i), "title").toString(), first[i].title)
            << i;
    }
    EXPECT_EQ(tilesMade(), madeAhead);
    for (const char* word : {"Película", "Serie", "Película 1", "Cine"}) {
        ASSERT_TRUE(app.click("discover.field"));
        QTest::keyClick(app.window(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(app.window(), Qt::Key_Backspace);
        app.typeKeys(QString::fromUtf8(word));
    }

    ASSERT_TRUE(app.type("discover.field", "Matrix"));
    ASSERT_TRUE(app.waitFor([&] { return app.property("discover.result.0", "title").toString() == "Matrix"; }));
    for (const bool escape : {false, true}) {
        ASSERT_TRUE(app.click("discover.result.0.open"));
        ASSERT_TRUE(app.waitFor([&] { return app.isShown("detail.title"); }));
        EXPECT_EQ(app.property("detail.title", "text").toString(), "Matrix");
        ASSERT_TRUE(app.deck().selectedNode().has_value());
        if (escape)
            app.key(Qt::Key_Escape);
        else
            ASSERT_TRUE(app.click("detail.close"));
        EXPECT_TRUE(app.waitFor([&] { return !app.deck().selectedNode() && !app.isShown("detail.title"); }))
            << (escape ? "Escape" : "Cerrar");
    }

    // The grid's tiles are pooled: a tile showing the next word's row shows that row's heart, not the last one's.
    ASSERT_TRUE(app.click("discover.result.0.favorite"));
    ASSERT_TRUE(app.waitFor([&] { return app.property("discover.result.0.favorite", "isFavorite").toBool(); }));
    ASSERT_TRUE(app.type("discover.field", "Canal Uno"));
    ASSERT_TRUE(app.waitFor([&] { return app.property("discover.result.0", "title").toString() == "Canal Uno"; }));
    EXPECT_FALSE(app.property("discover.result.0.favorite", "isFavorite").toBool());
    ASSERT_TRUE(app.click("discover.clear"));
    ASSERT_TRUE(app.type("discover.field", "Matrix"));
    ASSERT_TRUE(app.waitFor([&] { return app.property("discover.result.0", "title").toString() == "Matrix"; }));
    EXPECT_TRUE(app.property("discover.result.0.favorite", "isFavorite").toBool());
    ASSERT_TRUE(app.type("discover.field", "Canal Uno"));
    ASSERT_TRUE(app.waitFor([&] { return app.property("discover.result.0", "title").toString() == "Canal Uno"; }));
    ASSERT_TRUE(app.click("discover.result.0.open"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().playback().has_value(); }));
    EXPECT_EQ(app.deck().playback()->node.title, "Canal Uno");
    EXPECT_FALSE(app.deck().selectedNode().has_value());
    app.deck().closePlayback(0);
}

} // namespace uitest
