#include "AppHarness.h"
#include "StubPlayers.h"

#include "Shared/PlayerSession.h"
#include "UI/FloatingPlayer.h"

#include <QTimer>

namespace uitest {

namespace {

using playback::PlayerSession;

QQuickItem* findIn(QQuickItem* item, const QString& name)
{
    if (item->objectName() == name)
        return item;
    for (QQuickItem* child : item->childItems()) {
        if (QQuickItem* found = findIn(child, name))
            return found;
    }
    return nullptr;
}

// A real click on a player control of the floating window (controls revealed first: they hide after a while).
bool clickIn(QQuickWindow* window, PlayerSession* session, const QString& name)
{
    session->reveal();
    QQuickItem* target = findIn(window->contentItem(), name);
    if (!target || !target->isVisible() || !target->isEnabled())
        return false;
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}


std::optional<ResumeMarker> markerFor(const CommandDeck& deck, const QString& title)
{
    for (const ResumeMarker& marker : deck.resumeMarkers()) {
        if (marker.node.title == title)
            return marker;
    }
    return std::nullopt;
}

} // namespace

class FloatingPlayerTest : public AppTest
{
protected:
    AppHarness& openWithStubs()
    {
        AppHarness::Options options;
        options.prepare = [this](AppHarness& app) { app.context().setSessionFactory(stubs.factory()); };
        AppHarness& app = open(std::move(options));
        app.connectPanel();
        floating = &app.app->floating();
        return app;
    }
    // Plays the film in the main window and moves it to the floating window.
    void playFloating(AppHarness& app, const QString& title)
    {
        app.deck().play(*nodeTitled(app.deck(), title));
        ASSERT_TRUE(app.waitFor([&] { return app.singleton<ui::Deck>().embeddedHost() != nullptr; }));
        app.deck().minimizePlayback(0);
        ASSERT_TRUE(app.waitFor([&] { return floating->isShowing() && floating->window()->isVisible(); }));
    }

    StubPlayers stubs;
    ui::FloatingPlayer* floating = nullptr;
};

// Main window -> floating window -> main window: one player per move, the window's own settings, the same
// ticket presented twice changes nothing, "Volver a la app" hands the deck the progress after the stop (and
// does nothing once the deck is gone), and quitting keeps the floating film's final progress.
TEST_F(FloatingPlayerTest, movesBetweenTheWindowsWithOnePlayerPerMoveAndTheFinalProgress)
{
    AppHarness& app = openWithStubs();
    app.deck().play(*nodeTitled(app.deck(), QStringLiteral("Película A")));
    ASSERT_TRUE(app.waitFor([&] { return app.singleton<ui::Deck>().embeddedHost() != nullptr; }));
    EXPECT_EQ(app.context().playersCreated(), 1);

    // The embedded player's own "Ventana flotante" action.
    PlayerSession* embedded = app.singleton<ui::Deck>().embeddedHost()->session();
    emit embedded->progressReported(0.2);
    embedded->triggerPresentationAction();
    ASSERT_TRUE(app.waitFor([&] { return floating->isShowing() && floating->window()->isVisible(); }));
    app.idle();
    EXPECT_EQ(app.context().playersCreated(), 2);
    EXPECT_EQ(app.singleton<ui::Deck>().embeddedHost(), nullptr);
    EXPECT_FALSE(app.find("playerScreen"));
    QQuickWindow* window = floating->window();
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window->transientParent(), nullptr);
    EXPECT_EQ(window->size(), QSize(960, 640));
    EXPECT_EQ(window->minimumSize(), QSize(480, 320));
    EXPECT_EQ(window->title(), "Película A");
    EXPECT_DOUBLE_EQ(floating->session()->request().resumeProgress(), 0.2);

    PlayerSession* shown = floating->session();
    floating->present(*app.deck().playback(), app.deck());
    EXPECT_EQ(floating->session(), shown);
    EXPECT_EQ(app.context().playersCreated(), 2);

    emit shown->progressReported(0.3);
    stubs.finalReport = 0.45;
    ASSERT_TRUE(clickIn(window, shown, QStringLiteral("presentationActionButton")));
    ASSERT_TRUE(app.waitFor([&] { return app.singleton<ui::Deck>().embeddedHost() != nullptr; }));
    app.idle();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(app.deck().playbackMinimized());
    EXPECT_DOUBLE_EQ(app.deck().playback()->resumeFraction, 0.45);
    EXPECT_DOUBLE_EQ(markerFor(app.deck(), "Película A")->fraction, 0.45);
    EXPECT_EQ(app.context().playersCreated(), 3);
    EXPECT_TRUE(app.isShown("playerScreen"));

    // Without its deck, "Volver a la app" does nothing: the window goes on playing.
    auto gone = std::make_unique<CommandDeck>(app.vault());
    PlaybackTicket ticket{QUuid::createUuid(), *nodeTitled(app.deck(), "Película B"), QUrl("http://127.0.0.1:9/b.mp4")};
    floating->present(ticket, *gone);
    gone.reset();
    PlayerSession* orphan = floating->session();
    ASSERT_TRUE(clickIn(window, orphan, QStringLiteral("presentationActionButton")));
    app.idle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(floating->session(), orphan);
    EXPECT_FALSE(orphan->isClosing());
    floating->dismiss(false);
    EXPECT_FALSE(window->isVisible());

    // Quitting while a film floats records its progress after the final report, and the application ends
    // although the (hidden) floating window still exists.
    app.deck().minimizePlayback(0);
    ASSERT_TRUE(app.waitFor([&] { return floating->isShowing(); }));
    emit floating->session()->progressReported(0.4);
    stubs.finalReport = 0.8;
    QTimer::singleShot(0, app.app.get(), &ui::SendraApplication::quit);
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(42); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(window->isVisible());
    EXPECT_DOUBLE_EQ(markerFor(app.deck(), "Película A")->fraction, 0.8);
}

// Every way out keeps the resume point it should: an episode step (the replaced ticket, after its stop, with
// its episode index), the user's close (the progress after the stop, the playback closed a turn later; 0 records
// nothing), a dismissal without a report records nothing; closing the window never ends the application.
TEST_F(FloatingPlayerTest, everyWayOutKeepsTheRightResumePoint)
{
    AppHarness& app = openWithStubs();
    const MediaNode series = *nodeTitled(app.deck(), "Serie Larga");
    app.deck().open(series);
    ASSERT_TRUE(app.waitFor([&] { return app.deck().selectedBrief() && !app.deck().selectedBrief()->seasons.isEmpty(); }));
    app.singleton<ui::Details>().playEpisode(0, 0);
    ASSERT_TRUE(app.waitFor([&] { return app.singleton<ui::Deck>().embeddedHost() != nullptr; }));
    app.deck().minimizePlayback(0);
    ASSERT_TRUE(app.waitFor([&] { return floating->isShowing(); }));
    QQuickWindow* window = floating->window();
    const QPoint placed(40, 30);
    window->setPosition(placed);

    emit floating->session()->progressReported(0.3);
    stubs.finalReport = 0.5;
    const int before = app.context().playersCreated();
    floating->session()->nextEpisode();
    ASSERT_TRUE(app.waitFor([&] { return floating->session() && floating->session()->request().episodeIndex() == 1; }));
    EXPECT_EQ(app.context().playersCreated(), before + 1);
    EXPECT_TRUE(app.deck().playbackMinimized());
    std::optional<ResumeMarker> marker = markerFor(app.deck(), "Serie Larga");
    EXPECT_DOUBLE_EQ(marker->fraction, 0.5);
    EXPECT_EQ(marker->episodeIndex, 0);

    // The user closes the window: nothing was reported for this episode, so the marker stays.
    stubs.finalReport = 0;
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(app.deck().playback().has_value()) << "closed only on the next turn";
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().playback(); }));
    EXPECT_DOUBLE_EQ(markerFor(app.deck(), "Serie Larga")->fraction, 0.5);

    // A film closed by the user keeps where it was at the close (its final report); the window comes back where
    // it was.
    playFloating(app, QStringLiteral("Película A"));
    EXPECT_EQ(floating->window(), window);
    EXPECT_EQ(window->position(), placed);
    emit floating->session()->progressReported(0.25);
    stubs.finalReport = 0.6;
    window->close();
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().playback(); }));
    marker = markerFor(app.deck(), "Película A");
    EXPECT_DOUBLE_EQ(marker->fraction, 0.6);
    EXPECT_EQ(marker->episodeIndex, std::nullopt);

    // Dismissed without a report (the deck cleared the playback elsewhere): no resume point; again: nothing.
    playFloating(app, QStringLiteral("Película B"));
    emit floating->session()->progressReported(0.35);
    stubs.finalReport = 0.7;
    floating->dismiss(false);
    floating->dismiss(false);
    EXPECT_FALSE(window->isVisible());
    EXPECT_LT(markerFor(app.deck(), "Película B")->fraction, 0.35);

    // Closing the floating window never ends the application, even as the only window shown.
    playFloating(app, QStringLiteral("Película B"));
    app.window()->hide();
    QTimer::singleShot(0, window, &QWindow::close);
    QTimer::singleShot(300, qApp, [] { QCoreApplication::exit(42); });
    EXPECT_EQ(QCoreApplication::exec(), 42);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(app.deck().playback().has_value());
}

} // namespace uitest
