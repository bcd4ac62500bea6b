#include "AppHarness.h"

#include "OrrinthCore/PlaybackRequest.h"
#include "Shared/PlayerSession.h"
#include "Shared/VlcEngine.h"
#include "UI/FloatingPlayer.h"
#include "media/MediaClips.h"
#include "media/MediaServer.h"

namespace uitest {

namespace {

using playback::PlayerSession;
using sendra::testing::Clip;
using sendra::testing::MediaServer;
using sendra::testing::mediaClip;

// A real click on a player control in `window`, revealed first as a pointer move would (controls hide).
bool clickControl(QQuickWindow* window, PlayerSession* session, const QString& name)
{
    if (!window || !session)
        return false;
    session->reveal();
    auto* target = qobject_cast<QQuickItem*>(sendra::testing::findInWindow(window, name));
    if (!target || !target->isVisible() || !target->isEnabled())
        return false;
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

QString textIn(QQuickWindow* window, const QString& name)
{
    QObject* found = window ? sendra::testing::findInWindow(window, name) : nullptr;
    return found ? found->property("text").toString() : QString();
}

std::optional<ResumeMarker> markerFor(const CommandDeck& deck, const QString& title)
{
    for (const ResumeMarker& marker : deck.resumeMarkers()) {
        if (marker.node.title == title)
            return marker;
    }
    return std::nullopt;
}

bool playsPast(PlayerSession* session, double seconds)
{
    return session && session->videoStarted() && session->isPlaying() && session->elapsedSeconds() > seconds;
}

} // namespace

// The real application with real players: every ticket plays a clip from a loopback media host, picked by the
// ticket's entry and episode, so a test sees which address each player opened.
class PlayerRoadsTest : public AppTest
{
protected:
    static constexpr double filmSeconds = 30.0;

    AppHarness& openWithMedia()
    {
        playback::VlcEngine::setInstanceArguments({QStringLiteral("--aout=adummy")});
        const QByteArray episode = mediaClip(Clip::mp4);
        for (int index = 0; index < 3; ++index)
            media.serveFile("/series/" + std::to_string(index) + ".mp4", episode, "video/mp4");
        media.serveFile("/films/11.mp4", mediaClip(Clip::longMp4), "video/mp4");
        // "Película A" never answers: its player knows no position at all.
        media.serveHang("/films/10.mp4");

        AppHarness::Options options;
        options.prepare = [this](AppHarness& app) {
            app.context().setSessionFactory([this, &app](const orrinth::PlaybackRequest& request, QObject* parent) {
                const bool episodic = !request.episodeURLs().isEmpty();
                const std::string path = episodic ? "/series/" + std::to_string(request.episodeIndex()) + ".mp4"
                                                  : "/films/" + request.item().id().toStdString() + ".mp4";
                const orrinth::PlaybackRequest local(request.item(), media.url(path), request.episodeURLs(),
                                                     request.episodeIndex(), request.resumeProgress());
                return new PlayerSession(local, app.context().network(), {}, parent);
            });
        };
        AppHarness& app = open(std::move(options));
        app.connectPanel();
        floating = &app.app->floating();
        return app;
    }

    PlayerSession* embedded() const
    {
        return qobject_cast<PlayerSession*>(harness->singleton<ui::Deck>().embeddedSession());
    }

    void TearDown() override
    {
        // Players go before the media host they read from.
        if (harness && harness->app)
            harness->deck().closePlayback(0);
        if (harness)
            harness->idle(100);
        AppTest::TearDown();
    }

    MediaServer media;
    ui::FloatingPlayer* floating = nullptr;
};

// Biblioteca -> a series -> episode 2 -> next: the third episode plays in the main window with its own label, the
// second keeps how far it was watched; in the floating window "previous" plays the second again there.
TEST_F(PlayerRoadsTest, theEpisodeControlsPlayTheNeighbourInTheSamePlaceAndKeepTheLeftOnesProgress)
{
    ASSERT_FALSE(mediaClip(Clip::mp4).isEmpty()) << "ffmpeg could not make the test clips";
    AppHarness& app = openWithMedia();
    app.deck().open(*nodeTitled(app.deck(), QStringLiteral("Serie Larga")));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().selectedBrief() && !app.deck().selectedBrief()->seasons.isEmpty(); }));
    app.singleton<ui::Details>().playEpisode(0, 1);
    ASSERT_TRUE(app.waitFor([&] { return playsPast(embedded(), 1.5); }, 15000));
    PlayerSession* second = embedded();
    EXPECT_EQ(textIn(app.window(), QStringLiteral("episodeLabel")), QStringLiteral("Episodio 2 de 3"));

    ASSERT_TRUE(clickControl(app.window(), second, QStringLiteral("nextEpisodeButton")));
    ASSERT_TRUE(app.waitFor([&] { return embedded() != second && playsPast(embedded(), 0.5); }, 15000))
        << (embedded() ? embedded()->statusMessage().toStdString() : "no player");
    EXPECT_EQ(embedded()->request().episodeIndex(), 2);
    EXPECT_GT(media.requestCount("/series/2.mp4"), 0u);
    EXPECT_TRUE(app.isShown(QStringLiteral("playerScreen")));
    EXPECT_FALSE(app.deck().playbackMinimized());
    EXPECT_EQ(textIn(app.window(), QStringLiteral("titleText")), QStringLiteral("Serie Larga"));
    EXPECT_EQ(textIn(app.window(), QStringLiteral("episodeLabel")), QStringLiteral("Episodio 3 de 3"));
    std::optional<ResumeMarker> marker = markerFor(app.deck(), QStringLiteral("Serie Larga"));
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->episodeIndex, 1);
    EXPECT_GT(marker->fraction * 8.0, 1.5);

    // The same in the floating window, the other way.
    ASSERT_TRUE(clickControl(app.window(), embedded(), QStringLiteral("presentationActionButton")));
    ASSERT_TRUE(app.waitFor([&] { return floating->isShowing() && playsPast(floating->session(), 1.0); }, 15000));
    PlayerSession* third = floating->session();
    QQuickWindow* window = floating->window();
    ASSERT_TRUE(clickControl(window, third, QStringLiteral("previousEpisodeButton")));
    ASSERT_TRUE(app.waitFor([&] { return floating->session() != third && playsPast(floating->session(), 0.5); }, 15000))
        << (floating->session() ? floating->session()->statusMessage().toStdString() : "no player");
    EXPECT_EQ(floating->session()->request().episodeIndex(), 1);
    EXPECT_TRUE(app.deck().playbackMinimized());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(app.singleton<ui::Deck>().embeddedSession(), nullptr);
    EXPECT_EQ(textIn(window, QStringLiteral("titleText")), QStringLiteral("Serie Larga"));
    EXPECT_EQ(textIn(window, QStringLiteral("episodeLabel")), QStringLiteral("Episodio 2 de 3"));
    marker = markerFor(app.deck(), QStringLiteral("Serie Larga"));
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->episodeIndex, 2);
    EXPECT_GT(marker->fraction * 8.0, 1.0);
}

// "Ventana flotante", "Volver a la app" and closing the floating window all go on from the position on screen at
// the click, not from the last periodic report.
TEST_F(PlayerRoadsTest, theHandOversAndClosingTheFloatingWindowKeepThePositionOnScreen)
{
    ASSERT_FALSE(mediaClip(Clip::longMp4).isEmpty()) << "ffmpeg could not make the test clips";
    AppHarness& app = openWithMedia();
    app.deck().play(*nodeTitled(app.deck(), QStringLiteral("Película B")));
    ASSERT_TRUE(app.waitFor([&] { return playsPast(embedded(), 3.0); }, 15000));

    double shown = embedded()->elapsedSeconds();
    ASSERT_TRUE(clickControl(app.window(), embedded(), QStringLiteral("presentationActionButton")));
    ASSERT_TRUE(app.waitFor([&] { return floating->isShowing() && playsPast(floating->session(), 0.5); }, 15000));
    EXPECT_NEAR(app.deck().playback()->resumeFraction * filmSeconds, shown, 0.5);
    EXPECT_NEAR(floating->session()->elapsedSeconds(), shown, 1.5);
    EXPECT_GE(floating->session()->elapsedSeconds(), shown - 0.5);

    ASSERT_TRUE(app.waitFor([&] { return playsPast(floating->session(), shown + 2.0); }, 10000));
    shown = floating->session()->elapsedSeconds();
    ASSERT_TRUE(clickControl(floating->window(), floating->session(), QStringLiteral("presentationActionButton")));
    ASSERT_TRUE(app.waitFor([&] { return playsPast(embedded(), 0.5); }, 15000));
    EXPECT_FALSE(floating->window()->isVisible());
    EXPECT_NEAR(app.deck().playback()->resumeFraction * filmSeconds, shown, 0.5);
    EXPECT_NEAR(embedded()->elapsedSeconds(), shown, 1.5);
    EXPECT_GE(embedded()->elapsedSeconds(), shown - 0.5);

    // Closing the floating window stores where the film is at the close.
    ASSERT_TRUE(clickControl(app.window(), embedded(), QStringLiteral("presentationActionButton")));
    ASSERT_TRUE(app.waitFor([&] { return floating->isShowing() && playsPast(floating->session(), shown + 2.0); }, 15000));
    shown = floating->session()->elapsedSeconds();
    floating->window()->close();
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().playback(); }));
    const std::optional<ResumeMarker> marker = markerFor(app.deck(), QStringLiteral("Película B"));
    ASSERT_TRUE(marker);
    EXPECT_NEAR(marker->fraction * filmSeconds, shown, 0.5);
}

// Before the player knows any position, every hand-over passes on the ticket's own resume fraction: a move to the
// floating window, closing that window, and closing the embedded player.
TEST_F(PlayerRoadsTest, beforeAnyProgressEveryHandOverKeepsTheTicketsResumeFraction)
{
    AppHarness& app = openWithMedia();
    const MediaNode film = *nodeTitled(app.deck(), QStringLiteral("Película A"));
    const auto resumeAtFourTenths = [&] {
        app.deck().addResume(film, 0.4, std::nullopt);
        app.deck().resume(*markerFor(app.deck(), film.title));
        return app.waitFor([&] { return embedded() && app.isShown(QStringLiteral("closeButton")); });
    };

    ASSERT_TRUE(resumeAtFourTenths());
    ASSERT_TRUE(clickControl(app.window(), embedded(), QStringLiteral("presentationActionButton")));
    ASSERT_TRUE(app.waitFor([&] { return floating->isShowing(); }));
    EXPECT_NEAR(app.deck().playback()->resumeFraction, 0.4, 1e-6);
    app.deck().addResume(film, 0.1, std::nullopt);
    floating->window()->close();
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().playback(); }));
    EXPECT_NEAR(markerFor(app.deck(), film.title)->fraction, 0.4, 1e-6);

    ASSERT_TRUE(resumeAtFourTenths());
    app.deck().addResume(film, 0.1, std::nullopt); // the ticket alone knows 0.4 now
    ASSERT_TRUE(clickControl(app.window(), embedded(), QStringLiteral("closeButton")));
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().playback() && !embedded(); }));
    EXPECT_NEAR(markerFor(app.deck(), film.title)->fraction, 0.4, 1e-6);
}

} // namespace uitest
