#include "Shared/PlaybackQml.h"
#include "Shared/PlayerSession.h"
#include "Shared/VLCPlaybackController.h"

#include "MediaClips.h"
#include "MediaServer.h"
#include "PlaybackTestSupport.h"
#include "QmlScreenHarness.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QQmlEngine>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

using namespace sendra::playback;
using namespace sendra::playback::testing;
using orrinth::ContentKind;
using sendra::testing::Clip;
using sendra::testing::MediaServer;
using sendra::testing::QmlScreenHarness;
using sendra::testing::mediaClip;

namespace {

const QUrl playerScreen(QStringLiteral("qrc:/qt/qml/Sendra/Playback/PlayerScreen.qml"));

class PlayerScreenTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        useDummyAudio();
        server = new MediaServer;
        server->serveFile("/movie/u/p/1.mp4", mediaClip(Clip::mp4), "video/mp4");
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void show(const orrinth::PlaybackRequest &request)
    {
        session = std::make_unique<PlayerSession>(request, &network, quickTimings());
        QObject::connect(session.get(), &PlayerSession::progressReported,
                         [this](double fraction) { progress.append(fraction); });
        closed = std::make_unique<QSignalSpy>(session.get(), &PlayerSession::closed);
        ASSERT_TRUE(screen.load(playerScreen, {{QStringLiteral("session"), QVariant::fromValue(session.get())}}))
            << screen.warnings().join(u'\n').toStdString();
    }

    void TearDown() override
    {
        screen.unload();
        EXPECT_TRUE(screen.warnings().isEmpty()) << screen.warnings().join(u'\n').toStdString();
    }

    QString text(const QString &objectName) const { return screen.property(objectName, "text").toString(); }

    static inline MediaServer *server = nullptr;
    QNetworkAccessManager network;
    QmlScreenHarness screen{[](QQmlEngine &engine) { registerPlaybackQml(engine); }};
    std::unique_ptr<PlayerSession> session;
    std::unique_ptr<QSignalSpy> closed;
    QList<double> progress;
};

} // namespace

TEST_F(PlayerScreenTest, aBrokenStreamShowsTheStatusThenTheFailureCardAndRetries)
{
    show(makeRequest(server->url("/live/u/p/missing.ts"), ContentKind::live));
    EXPECT_TRUE(screen.isShown(QStringLiteral("statusBox")));
    EXPECT_EQ(text(QStringLiteral("statusText")), QStringLiteral("Preparando reproducción…"));
    EXPECT_FALSE(screen.isShown(QStringLiteral("failureCard")));
    EXPECT_FALSE(screen.isShown(QStringLiteral("bottomPanel")));
    EXPECT_FALSE(screen.isShown(QStringLiteral("presentationActionButton")));
    EXPECT_EQ(text(QStringLiteral("closeButton")), QStringLiteral("Cerrar"));

    ASSERT_TRUE(waitUntil([&] { return session->failed(); }));
    EXPECT_TRUE(screen.isShown(QStringLiteral("failureCard")));
    EXPECT_FALSE(screen.isShown(QStringLiteral("statusBox")));
    EXPECT_EQ(text(QStringLiteral("failureTitle")), QStringLiteral("No fue posible reproducir este contenido."));
    EXPECT_EQ(text(QStringLiteral("failureStatus")),
              QStringLiteral("La reproducción se interrumpió. Inténtalo nuevamente."));
    EXPECT_TRUE(screen.isShown(QStringLiteral("closeButton")));

    session->setLanguage(QStringLiteral("en"));
    EXPECT_EQ(text(QStringLiteral("failureStatus")), QStringLiteral("Playback was interrupted. Try again."));
    ASSERT_TRUE(screen.click(QStringLiteral("retryButton")));
    EXPECT_FALSE(screen.isShown(QStringLiteral("failureCard")));
    EXPECT_EQ(text(QStringLiteral("statusText")), QStringLiteral("Preparing playback…"));

    ASSERT_TRUE(screen.click(QStringLiteral("closeButton")));
    EXPECT_EQ(closed->size(), 1);
}

TEST_F(PlayerScreenTest, aPlayingEpisodeShowsItsPanelAndTheControlsHideAndCome)
{
    show(makeRequest(server->url("/movie/u/p/1.mp4"), ContentKind::series, 0, {server->url("/movie/u/p/1.mp4")}));
    session->setPresentationAction(QStringLiteral("Ventana flotante"), QStringLiteral("pip.enter"));
    QSignalSpy action(session.get(), &PlayerSession::presentationActionTriggered);
    EXPECT_TRUE(screen.isShown(QStringLiteral("presentationActionButton")));
    ASSERT_TRUE(screen.click(QStringLiteral("presentationActionButton")));
    EXPECT_EQ(action.size(), 1);

    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }));
    EXPECT_FALSE(screen.isShown(QStringLiteral("statusBox")));
    EXPECT_TRUE(screen.isShown(QStringLiteral("bottomPanel")));
    EXPECT_EQ(text(QStringLiteral("titleText")), QStringLiteral("Prueba"));
    EXPECT_EQ(text(QStringLiteral("episodeLabel")), QStringLiteral("Episodio 1 de 1"));
    EXPECT_FALSE(screen.property(QStringLiteral("previousEpisodeButton"), "enabled").toBool());
    EXPECT_FALSE(screen.property(QStringLiteral("nextEpisodeButton"), "enabled").toBool());
    ASSERT_TRUE(waitUntil([&] { return screen.isShown(QStringLiteral("timeRow")); }));
    EXPECT_EQ(text(QStringLiteral("durationText")), QStringLiteral("0:08"));

    // Hidden after the pause without interaction; the layer then takes no input.
    ASSERT_TRUE(waitUntil([&] { return !screen.property(QStringLiteral("controlsLayer"), "enabled").toBool(); }, 3000));
    ASSERT_TRUE(waitUntil([&] { return !screen.isShown(QStringLiteral("closeButton")); }, 2000));
    session->reveal();
    ASSERT_TRUE(waitUntil([&] { return screen.isShown(QStringLiteral("closeButton")); }, 2000));

    ASSERT_TRUE(screen.click(QStringLiteral("playPauseButton")));
    EXPECT_FALSE(session->isPlaying());
    progress.clear();
    ASSERT_TRUE(screen.click(QStringLiteral("closeButton")));
    EXPECT_EQ(closed->size(), 1);
    ASSERT_EQ(progress.size(), 1);
    EXPECT_GT(progress[0], 0.0);
}

TEST_F(PlayerScreenTest, withoutEpisodesThereIsNoEpisodeLabelAndTheScreenGoingAwayReportsProgress)
{
    show(makeRequest(server->url("/movie/u/p/1.mp4"), ContentKind::movie));
    ASSERT_TRUE(waitUntil([&] { return session->videoStarted(); }));
    EXPECT_FALSE(screen.isShown(QStringLiteral("episodeLabel")));
    EXPECT_FALSE(screen.isShown(QStringLiteral("previousEpisodeButton")));
    EXPECT_FALSE(screen.isShown(QStringLiteral("nextEpisodeButton")));

    auto *audioMenu = screen.find(QStringLiteral("audioMenu"));
    ASSERT_NE(audioMenu, nullptr);
    ASSERT_TRUE(screen.click(QStringLiteral("audioButton")));
    EXPECT_TRUE(audioMenu->property("visible").toBool());
    EXPECT_EQ(audioMenu->property("count").toInt(), session->audioTracks().size());
    ASSERT_TRUE(screen.click(QStringLiteral("subtitleButton")));
    QObject *subtitleMenu = screen.find(QStringLiteral("subtitleMenu"));
    ASSERT_NE(subtitleMenu, nullptr);
    // The clip has no subtitles: the menu says so, with an entry that cannot be chosen.
    ASSERT_TRUE(session->subtitleTracks().isEmpty());
    QQuickItem *only = nullptr;
    ASSERT_TRUE(QMetaObject::invokeMethod(subtitleMenu, "itemAt", Q_RETURN_ARG(QQuickItem *, only), Q_ARG(int, 0)));
    ASSERT_NE(only, nullptr);
    EXPECT_EQ(only->property("text").toString(), QStringLiteral("No hay subtítulos disponibles"));
    EXPECT_FALSE(only->property("enabled").toBool());

    // The screen disappears without its close button: the final progress still reaches the host.
    ASSERT_TRUE(waitUntil([&] { return session->elapsedSeconds() > 0.5; }));
    progress.clear();
    screen.unload();
    ASSERT_EQ(progress.size(), 1);
    EXPECT_GT(progress[0], 0.0);
    EXPECT_EQ(closed->size(), 0);
}

TEST(QmlScreenHarnessSelfCheck, aBrokenBindingIsCaught)
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("Broken.qml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("import QtQuick\nItem { width: missingName * 2 }\n");
    file.close();
    QmlScreenHarness screen([](QQmlEngine &) {});
    ASSERT_TRUE(screen.load(QUrl::fromLocalFile(file.fileName()), {}));
    EXPECT_FALSE(screen.warnings().isEmpty());
}
