#include "Shared/PlayerSession.h"
#include "Shared/VLCPlaybackController.h"

#include "MediaClips.h"
#include "MediaServer.h"
#include "PlaybackTestSupport.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QVideoSink>
#include <gtest/gtest.h>

#include <memory>

using namespace sendra::playback;
using namespace sendra::playback::testing;
using orrinth::ContentKind;
using sendra::testing::Clip;
using sendra::testing::MediaServer;
using sendra::testing::mediaClip;

namespace {

class PlayerSessionTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        useDummyAudio();
        server = new MediaServer;
        server->serveFile("/movie/u/p/1.mp4", mediaClip(Clip::mp4), "video/mp4");
        server->serveFile("/movie/u/p/2.mp4", mediaClip(Clip::mp4), "video/mp4");
        server->serveFileRejectingAgent("/movie/u/p/picky.mp4", mediaClip(Clip::mp4), "video/mp4", "Calvenor");
        server->serveHang("/live/u/p/hang.ts");
        server->serveFile("/series/u/p/red.mp4", mediaClip(Clip::red), "video/mp4");
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void start(const orrinth::PlaybackRequest &request, PlaybackTimings timings = quickTimings())
    {
        ASSERT_FALSE(mediaClip(Clip::mp4).isEmpty()) << "ffmpeg could not make the test clips";
        session = std::make_unique<PlayerSession>(request, &network, timings);
        QObject::connect(session.get(), &PlayerSession::screenChanged, [this] {
            if (statuses.isEmpty() || statuses.last() != session->statusMessage())
                statuses.append(session->statusMessage());
        });
        QObject::connect(session.get(), &PlayerSession::progressReported,
                         [this](double fraction) { progress.append(fraction); });
        ready = std::make_unique<QSignalSpy>(session.get(), &PlayerSession::playerReady);
        closed = std::make_unique<QSignalSpy>(session.get(), &PlayerSession::closed);
        session->attachVideoSink(&sink);
        session->appear();
    }

    static inline MediaServer *server = nullptr;
    QNetworkAccessManager network;
    QVideoSink sink;
    std::unique_ptr<PlayerSession> session;
    std::unique_ptr<QSignalSpy> ready;
    std::unique_ptr<QSignalSpy> closed;
    QStringList statuses;
    QList<double> progress;
};

} // namespace

TEST_F(PlayerSessionTest, aMissingStreamReconnectsFourTimesThenFailsAndRetryStartsOver)
{
    start(makeRequest(server->url("/series/u/p/missing.ts"), ContentKind::series));
    EXPECT_EQ(session->statusMessage(), QStringLiteral("Preparando reproducción…"));
    ASSERT_TRUE(waitUntil([&] { return session->failed(); }));
    EXPECT_EQ(ready->size(), 1);
    for (int attempt = 1; attempt <= 4; ++attempt)
        EXPECT_TRUE(statuses.contains(QStringLiteral("Reconectando… (%1/4)").arg(attempt))) << attempt;
    EXPECT_FALSE(statuses.contains(QStringLiteral("Reconectando… (5/4)")));
    EXPECT_EQ(session->statusMessage(), QStringLiteral("La reproducción se interrumpió. Inténtalo nuevamente."));
    EXPECT_FALSE(session->isPlaying());
    // The first opening and four reconnections (libvlc asks twice per opening); then it stays quiet.
    const std::size_t asked = server->requestCount("/series/u/p/missing.ts");
    EXPECT_GE(asked, 5u);
    // The failure card keeps the controls; nothing reached the host.
    QTest::qWait(200);
    EXPECT_EQ(server->requestCount("/series/u/p/missing.ts"), asked);
    EXPECT_TRUE(session->controlsVisible());
    EXPECT_TRUE(progress.isEmpty());

    session->setLanguage(QStringLiteral("en"));
    EXPECT_EQ(session->localizedStatusMessage(), QStringLiteral("Playback was interrupted. Try again."));

    // The steps are short: under load the second attempt may have given way to the next before the test looks,
    // so the statuses are noted as they come.
    QStringList shown;
    QObject watcher;
    QObject::connect(session.get(), &PlayerSession::screenChanged, &watcher,
                     [&] { shown.append(session->localizedStatusMessage()); });
    session->retry();
    EXPECT_FALSE(session->failed());
    EXPECT_EQ(session->reconnectAttempt(), 0);
    EXPECT_EQ(session->localizedStatusMessage(), QStringLiteral("Preparing playback…"));
    ASSERT_TRUE(waitUntil([&] { return shown.contains(QStringLiteral("Reconnecting… (2/4)")); }));
    EXPECT_GT(server->requestCount("/series/u/p/missing.ts"), asked);
    session->close();
}

TEST_F(PlayerSessionTest, aLiveChannelThatStaysSilentIsCaughtByTheLiveWatchdog)
{
    PlaybackTimings timings = quickTimings();
    timings.liveStartupWatchdog = std::chrono::milliseconds(300);
    timings.startupWatchdog = std::chrono::milliseconds(60000); // would time the test out if chosen
    timings.liveReconnectStep = std::chrono::milliseconds(100);
    start(makeRequest(server->url("/live/u/p/hang.ts"), ContentKind::live), timings);
    // The first attempt lasts one short step: what it showed is noted as it happens.
    bool scheduledOnFirstAttempt = false;
    QObject watcher;
    QObject::connect(session.get(), &PlayerSession::screenChanged, &watcher, [&] {
        if (session->reconnectAttempt() == 1 && session->reconnectScheduled())
            scheduledOnFirstAttempt = true;
    });
    ASSERT_TRUE(waitUntil([&] { return statuses.contains(QStringLiteral("Reconectando… (1/4)")); }, 5000));
    EXPECT_TRUE(scheduledOnFirstAttempt);
    // After the live step the channel is asked for again.
    ASSERT_TRUE(waitUntil([&] { return server->requestCount("/live/u/p/hang.ts") >= 2; }, 5000));

    session->close();
    session->close();
    EXPECT_EQ(closed->size(), 1);
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_FALSE(session->watchdogArmed());
    EXPECT_EQ(session->controller(), nullptr);
}

TEST_F(PlayerSessionTest, aFilmPlaysWithHidingControlsAndReportsItsProgressOnClose)
{
    start(makeRequest(server->url("/movie/u/p/1.mp4"), ContentKind::movie));
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }));
    EXPECT_EQ(session->statusMessage(), QStringLiteral("Reproduciendo"));
    EXPECT_TRUE(session->isPlaying());
    ASSERT_EQ(session->audioTracks().size(), 1);
    ASSERT_TRUE(waitUntil([&] { return session->showsTimeRow(); }));
    EXPECT_NEAR(session->durationSeconds(), 8.0, 0.2);

    // The controls hide once video plays, come back on interaction, and stay while the slider is held.
    ASSERT_TRUE(waitUntil([&] { return !session->controlsVisible(); }, 2000));
    session->reveal();
    EXPECT_TRUE(session->controlsVisible());
    session->beginScrub();
    session->scrub(0.6);
    const double elapsedBefore = session->elapsedSeconds();
    QTest::qWait(400);
    EXPECT_TRUE(session->controlsVisible());
    EXPECT_EQ(session->playbackPosition(), 0.6);
    EXPECT_EQ(session->elapsedSeconds(), elapsedBefore); // timeline updates wait while scrubbing
    session->endScrub();
    ASSERT_TRUE(waitUntil([&] { return session->elapsedSeconds() > 4.5; }, 3000));
    ASSERT_TRUE(waitUntil([&] { return !session->controlsVisible(); }, 2000));

    progress.clear();
    session->close();
    ASSERT_EQ(progress.size(), 1);
    EXPECT_GT(progress[0], 0.55);
    EXPECT_LT(progress[0], 0.95);
    EXPECT_EQ(closed->size(), 1);
    session->close();
    session->detachVideoSink();
    EXPECT_EQ(progress.size(), 1);
    EXPECT_EQ(closed->size(), 1);
}

TEST_F(PlayerSessionTest, anMp4ThatVlcCannotOpenFallsBackToTheNativeEngine)
{
    start(makeRequest(server->url("/movie/u/p/picky.mp4"), ContentKind::movie));
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }));
    EXPECT_TRUE(statuses.contains(QStringLiteral("Abriendo contenido…")));
    EXPECT_EQ(session->controller()->engine(), EngineKind::native);
    EXPECT_EQ(session->reconnectAttempt(), 0);
    ASSERT_TRUE(waitUntil([&] { return session->durationSeconds() > 7 && session->elapsedSeconds() > 0.3; }));
    // Periodic reports may come before; closing adds exactly one.
    progress.clear();
    session->close();
    ASSERT_EQ(progress.size(), 1);
}

TEST_F(PlayerSessionTest, aStreamThatRecoversStartsCountingAfresh)
{
    // The first opening fails (libvlc asks twice), the reconnection plays.
    server->serveFileAfterFailures("/series/u/p/flaky.ts", mediaClip(Clip::ts), "video/mp2t", 2);
    start(makeRequest(server->url("/series/u/p/flaky.ts"), ContentKind::series));
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }));
    EXPECT_TRUE(statuses.contains(QStringLiteral("Reconectando… (1/4)")));
    EXPECT_EQ(session->reconnectAttempt(), 0);
    session->close();
}

TEST_F(PlayerSessionTest, aControllerHandedOverAfterClosingBeganNeverReachesTheHost)
{
    start(makeRequest(server->url("/movie/u/p/1.mp4"), ContentKind::movie));
    session->close();
    QTest::qWait(300);
    EXPECT_EQ(ready->size(), 0);
    EXPECT_EQ(closed->size(), 1);
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_EQ(session->controller(), nullptr);
}

TEST_F(PlayerSessionTest, aNewRequestRestartsTheScreenOnTheNewAddress)
{
    start(makeRequest(server->url("/movie/u/p/1.mp4"), ContentKind::series, 0,
                      {server->url("/movie/u/p/1.mp4"), server->url("/movie/u/p/2.mp4")}, 0));
    EXPECT_FALSE(session->canGoToPreviousEpisode());
    EXPECT_TRUE(session->canGoToNextEpisode());
    EXPECT_EQ(session->episodeLabel(QStringLiteral("Episodio %lld de %lld")), QStringLiteral("Episodio 1 de 2"));
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }));

    QSignalSpy next(session.get(), &PlayerSession::nextEpisodeRequested);
    session->nextEpisode();
    EXPECT_EQ(next.size(), 1);
    session->setRequest(makeRequest(server->url("/movie/u/p/2.mp4"), ContentKind::series, 0,
                                    {server->url("/movie/u/p/1.mp4"), server->url("/movie/u/p/2.mp4")}, 1));
    EXPECT_EQ(session->statusMessage(), QStringLiteral("Cargando episodio…"));
    EXPECT_FALSE(session->videoStarted());
    EXPECT_TRUE(session->controlsVisible());
    EXPECT_FALSE(session->canGoToNextEpisode());
    session->nextEpisode();
    EXPECT_EQ(next.size(), 1);
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }));
    EXPECT_EQ(session->controller()->currentURL(), server->url("/movie/u/p/2.mp4"));
    EXPECT_EQ(ready->size(), 1);
    session->close();
}

TEST_F(PlayerSessionTest, aLiveChannelThatEndsReconnectsInsteadOfFreezing)
{
    PlaybackTimings timings = quickTimings();
    timings.stallWatchdog = std::chrono::milliseconds(500);
    timings.liveReconnectStep = std::chrono::milliseconds(400);
    const QByteArray clip = mediaClip(Clip::shortTs);
    server->serveFile("/live/u/p/short.ts", clip, "video/mp2t");
    start(makeRequest(server->url("/live/u/p/short.ts"), ContentKind::live), timings);
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }));
    // The channel goes off the air after these two seconds.
    server->stopServing("/live/u/p/short.ts");
    ASSERT_TRUE(waitUntil([&] { return statuses.contains(QStringLiteral("Reconectando… (1/4)")); }, 10000));
    // It is back by the time the reconnection asks again: it plays again, with the count started afresh.
    server->serveFile("/live/u/p/short.ts", clip, "video/mp2t");
    const std::size_t asked = server->requestCount("/live/u/p/short.ts");
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }, 10000));
    EXPECT_GT(server->requestCount("/live/u/p/short.ts"), asked);
    EXPECT_EQ(session->reconnectAttempt(), 0);
    session->close();
}

TEST_F(PlayerSessionTest, aServerThatStopsDeliveringIsCaughtByTheStallWatchdogThenGivenUp)
{
    MediaServer stalling;
    stalling.serveStallingFile("/series/u/p/stall.mkv", mediaClip(Clip::longMp4), "video/mp4", 0.08);
    PlaybackTimings timings = quickTimings();
    timings.stallWatchdog = std::chrono::milliseconds(400);
    timings.startupWatchdog = std::chrono::milliseconds(1500);
    start(makeRequest(stalling.url("/series/u/p/stall.mkv"), ContentKind::series), timings);
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }));
    EXPECT_TRUE(session->stallWatchdogArmed());
    ASSERT_TRUE(waitUntil([&] { return session->failed(); }, 20000));
    const qsizetype playing = statuses.indexOf(QStringLiteral("Reproduciendo"));
    ASSERT_GE(playing, 0);
    EXPECT_GT(statuses.indexOf(QStringLiteral("Reconectando… (1/4)")), playing);
    EXPECT_TRUE(statuses.contains(QStringLiteral("Reconectando… (4/4)")));
    EXPECT_GE(stalling.requestCount("/series/u/p/stall.mkv"), 5u);
    session->close();
}

TEST_F(PlayerSessionTest, aFilmCutByTheServerReconnectsWhereTheViewerWas)
{
    MediaServer cutting;
    const QByteArray film = mediaClip(Clip::longMp4);
    cutting.serveCutFile("/series/u/p/cut.mkv", film, "video/mp4", 0.5);
    PlaybackTimings timings = quickTimings();
    timings.reconnectStep = std::chrono::milliseconds(600);
    start(makeRequest(cutting.url("/series/u/p/cut.mkv"), ContentKind::series, 0.4), timings);
    ASSERT_TRUE(waitUntil([&] { return statuses.contains(QStringLiteral("Reconectando… (1/4)")); }, 20000));
    // The server is whole again by the time the reconnection opens the film.
    cutting.serveFile("/series/u/p/cut.mkv", film, "video/mp4");
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted() && session->elapsedSeconds() > 15.5; }, 10000))
        << session->elapsedSeconds();
    ASSERT_FALSE(progress.isEmpty());
    for (const double fraction : std::as_const(progress))
        EXPECT_GT(fraction, 0.35);
    session->close();
}

TEST_F(PlayerSessionTest, aShortFilmPlayedToItsEndReportsOneAndOffersPlay)
{
    start(makeRequest(server->url("/series/u/p/red.mp4"), ContentKind::series));
    ASSERT_TRUE(waitUntil([&] { return progress.contains(1.0); }));
    EXPECT_EQ(progress.last(), 1.0);
    EXPECT_FALSE(session->isPlaying());
    EXPECT_FALSE(session->stallWatchdogArmed());
    EXPECT_EQ(session->reconnectAttempt(), 0);
    EXPECT_EQ(session->statusMessage(), QStringLiteral("Reproduciendo"));
    session->close();
    EXPECT_EQ(progress.last(), 1.0);
}

TEST(PlayerTexts, statusTableTimesAndCounts)
{
    EXPECT_EQ(localizedStatusMessage(QStringLiteral("Cargando video…"), QStringLiteral("en")),
              QStringLiteral("Loading video…"));
    EXPECT_EQ(localizedStatusMessage(QStringLiteral("Cargando video…"), QStringLiteral("es")),
              QStringLiteral("Cargando video…"));
    EXPECT_EQ(localizedStatusMessage(reconnectionStatus(2), QStringLiteral("en")),
              QStringLiteral("Reconnecting… (2/4)"));
    EXPECT_EQ(localizedStatusMessage(QStringLiteral("Otro estado"), QStringLiteral("en")),
              QStringLiteral("Otro estado"));

    EXPECT_EQ(formattedTime(-1), QStringLiteral("0:00"));
    EXPECT_EQ(formattedTime(std::numeric_limits<double>::infinity()), QStringLiteral("0:00"));
    EXPECT_EQ(formattedTime(std::nan("")), QStringLiteral("0:00"));
    EXPECT_EQ(formattedTime(65.9), QStringLiteral("1:05"));
    EXPECT_EQ(formattedTime(3599), QStringLiteral("59:59"));
    EXPECT_EQ(formattedTime(3600), QStringLiteral("1:00:00"));

    EXPECT_EQ(formatCounts(QStringLiteral("Episode %lld of %lld"), QStringLiteral("en"), {1, 1}),
              QStringLiteral("Episode 1 of 1"));
    EXPECT_EQ(formatCounts(QStringLiteral("Episodio %lld de %lld"), QStringLiteral("es"), {12, 1500}),
              QStringLiteral("Episodio 12 de 1500"));
    EXPECT_EQ(formatCounts(QStringLiteral("Episode %lld of %lld"), QStringLiteral("en"), {12, 1500}),
              QStringLiteral("Episode 12 of 1,500"));
}
