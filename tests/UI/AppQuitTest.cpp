#include "AppHarness.h"

#include "OrrinthCore/PlaybackRequest.h"
#include "Shared/PlayerSession.h"
#include "Shared/VlcEngine.h"
#include "media/MediaClips.h"
#include "media/MediaServer.h"

namespace uitest {

using sendra::testing::Clip;
using sendra::testing::MediaServer;

using AppQuitTest = AppTest;

// A film watched in the main window keeps its resume point when the application quits, and closing the main
// window is what quits it; the player goes once, with one final report.
TEST_F(AppQuitTest, quittingWhileAFilmPlaysInTheMainWindowKeepsItsResumePoint)
{
    sendra::playback::VlcEngine::setInstanceArguments({QStringLiteral("--aout=adummy")});
    MediaServer media;
    media.serveFile("/film.mp4", sendra::testing::mediaClip(Clip::mp4), "video/mp4");

    AppHarness& app = open();
    // Every ticket plays the loopback clip.
    app.context().setSessionFactory([&](const orrinth::PlaybackRequest& request, QObject* parent) {
        const orrinth::PlaybackRequest local(request.item(), media.url("/film.mp4"), request.episodeURLs(),
                                             request.episodeIndex(), request.resumeProgress());
        return new sendra::playback::PlayerSession(local, app.context().network(), {}, parent);
    });
    app.connectPanel();
    const MediaNode film = [&] {
        for (const MediaNode& node : app.deck().nodesByKind().value(SignalKind::cinema))
            if (node.id == u"11")
                return node;
        return MediaNode();
    }();
    ASSERT_EQ(film.id, "11");
    app.deck().play(film);
    ASSERT_TRUE(app.waitFor([&] { return app.find("playerScreen") != nullptr; }));
    auto* session = qobject_cast<sendra::playback::PlayerSession*>(app.singleton<ui::Deck>().embeddedSession());
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(app.waitFor([&] { return session->elapsedSeconds() > 2.5; }, 15000));
    EXPECT_EQ(app.context().playersCreated(), 1);

    // The window manager closes the main window.
    app.window()->close();
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().playback().has_value(); }));
    ASSERT_FALSE(app.deck().resumeMarkers().isEmpty());
    EXPECT_EQ(app.deck().resumeMarkers().first().id, film.catalogKey());
    EXPECT_GT(app.deck().resumeMarkers().first().fraction, 0.2);
    EXPECT_EQ(app.context().playersCreated(), 1);
}

} // namespace uitest
