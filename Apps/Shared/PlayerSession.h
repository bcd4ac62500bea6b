#pragma once

#include "Shared/PlaybackTypes.h"
#include "Shared/PlayerStatusText.h"

#include "OrrinthCore/PlaybackRequest.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QVideoSink;
Q_MOC_INCLUDE(<QVideoSink>)
Q_MOC_INCLUDE("Shared/VLCPlaybackController.h")

namespace sendra::playback {

class VLCPlaybackController;

// The player screen's logic, with the QML screen (PlayerScreen.qml) as a thin view over it: status texts,
// the start-up watchdog, the native fallback, reconnections, the failure card, the auto-hiding controls and
// what the host learns (progress, episode and close wishes, the controller to stop). Main thread only.
class PlayerSession final : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("A player session is built by the player's host")

    Q_PROPERTY(QString title READ title NOTIFY requestChanged)
    Q_PROPERTY(bool hasEpisodes READ hasEpisodes NOTIFY requestChanged)
    Q_PROPERTY(bool canGoToPreviousEpisode READ canGoToPreviousEpisode NOTIFY requestChanged)
    Q_PROPERTY(bool canGoToNextEpisode READ canGoToNextEpisode NOTIFY requestChanged)
    // "Episodio 2 de 5" in the session's language; follows a new request and a language switch.
    Q_PROPERTY(QString episodeText READ episodeText NOTIFY episodeTextChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(QString presentationActionTitle READ presentationActionTitle NOTIFY presentationActionChanged)
    Q_PROPERTY(QString presentationActionSymbol READ presentationActionSymbol NOTIFY presentationActionChanged)
    Q_PROPERTY(bool hasPresentationAction READ hasPresentationAction NOTIFY presentationActionChanged)

    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY screenChanged)
    Q_PROPERTY(QString localizedStatusMessage READ localizedStatusMessage NOTIFY screenChanged)
    Q_PROPERTY(bool failed READ failed NOTIFY screenChanged)
    Q_PROPERTY(bool videoStarted READ videoStarted NOTIFY screenChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY screenChanged)
    Q_PROPERTY(bool isLandscape READ isLandscape NOTIFY screenChanged)
    Q_PROPERTY(bool isClosing READ isClosing NOTIFY screenChanged)
    Q_PROPERTY(int reconnectAttempt READ reconnectAttempt NOTIFY screenChanged)
    Q_PROPERTY(bool reconnectScheduled READ reconnectScheduled NOTIFY screenChanged)
    Q_PROPERTY(QVariantList audioTracks READ audioTracksModel NOTIFY screenChanged)
    Q_PROPERTY(QVariantList subtitleTracks READ subtitleTracksModel NOTIFY screenChanged)
    Q_PROPERTY(bool controlsVisible READ controlsVisible NOTIFY controlsChanged)
    Q_PROPERTY(bool isScrubbing READ isScrubbing NOTIFY controlsChanged)

    Q_PROPERTY(double playbackPosition READ playbackPosition NOTIFY timelineChanged)
    Q_PROPERTY(double elapsedSeconds READ elapsedSeconds NOTIFY timelineChanged)
    Q_PROPERTY(double durationSeconds READ durationSeconds NOTIFY timelineChanged)
    Q_PROPERTY(bool isSeekable READ isSeekable NOTIFY timelineChanged)
    Q_PROPERTY(bool showsTimeRow READ showsTimeRow NOTIFY timelineChanged)
    // Width over height of the picture as meant to be seen; 0 while unknown (the frames' shape then).
    Q_PROPERTY(double videoAspectRatio READ videoAspectRatio NOTIFY videoAspectRatioChanged)

public:
    // `network` is the process's shared manager (for the redirect probe of films).
    PlayerSession(orrinth::PlaybackRequest request, QNetworkAccessManager *network, PlaybackTimings timings = {},
                  QObject *parent = nullptr);
    ~PlayerSession() override;

    // A request with another id restarts the screen on the new address.
    void setRequest(orrinth::PlaybackRequest request);
    const orrinth::PlaybackRequest &request() const { return m_request; }
    // The label goes through the text lookup; without a title the top bar has no host action.
    void setPresentationAction(const QString &title, const QString &symbol);

    QString title() const { return m_request.title(); }
    bool hasEpisodes() const { return !m_request.episodeURLs().isEmpty(); }
    bool canGoToPreviousEpisode() const;
    bool canGoToNextEpisode() const;
    QString episodeText() const;
    QString language() const { return m_language; }
    void setLanguage(const QString &languageCode);
    QString presentationActionTitle() const { return m_presentationActionTitle; }
    QString presentationActionSymbol() const { return m_presentationActionSymbol; }
    bool hasPresentationAction() const { return !m_presentationActionTitle.isEmpty(); }

    QString statusMessage() const { return m_statusMessage; }
    QString localizedStatusMessage() const;
    bool failed() const { return m_failed; }
    bool videoStarted() const { return m_videoStarted; }
    bool isPlaying() const { return m_isPlaying; }
    bool isLandscape() const { return m_isLandscape; }
    bool isClosing() const { return m_isClosing; }
    int reconnectAttempt() const { return m_reconnectAttempt; }
    bool reconnectScheduled() const { return m_reconnectScheduled; }
    QList<VLCAudioTrack> audioTracks() const { return m_audioTracks; }
    QList<VLCSubtitleTrack> subtitleTracks() const { return m_subtitleTracks; }
    QVariantList audioTracksModel() const;
    QVariantList subtitleTracksModel() const;
    bool controlsVisible() const { return m_controlsVisible; }
    bool isScrubbing() const { return m_isScrubbing; }
    double playbackPosition() const { return m_timeline.position; }
    double elapsedSeconds() const { return m_timeline.elapsed; }
    double durationSeconds() const { return m_timeline.duration; }
    bool isSeekable() const { return m_timeline.isSeekable; }
    bool showsTimeRow() const { return m_timeline.isSeekable && m_timeline.duration > 1.0; }
    bool watchdogArmed() const { return m_watchdog.isActive(); }
    bool stallWatchdogArmed() const { return m_stallWatchdog.isActive(); }
    double videoAspectRatio() const { return m_videoAspectRatio; }

    // The controller once handed over (null before, and after closing).
    VLCPlaybackController *controller() const;
    // The fraction played at this moment (not the last periodic report); none before the position is known
    // and after closing.
    std::optional<double> currentProgress() const;

    // The video surface: attaching the sink builds the controller and opens the request; detaching it (the
    // surface going away) stops playback with a final report.
    Q_INVOKABLE void attachVideoSink(QVideoSink *sink);
    Q_INVOKABLE void detachVideoSink();
    Q_INVOKABLE void appear();
    Q_INVOKABLE void disappear();

    Q_INVOKABLE void close();
    Q_INVOKABLE void retry();
    Q_INVOKABLE void reveal();
    Q_INVOKABLE void pointerLeft();
    Q_INVOKABLE void togglePlayPause();
    Q_INVOKABLE void skip(double seconds);
    Q_INVOKABLE void beginScrub();
    Q_INVOKABLE void scrub(double fraction);
    Q_INVOKABLE void endScrub();
    Q_INVOKABLE void selectAudioTrack(int id);
    Q_INVOKABLE void selectSubtitleTrack(int id);
    Q_INVOKABLE void previousEpisode();
    Q_INVOKABLE void nextEpisode();
    Q_INVOKABLE void triggerPresentationAction();
    Q_INVOKABLE void toggleOrientation();
    // Leaves full screen when this screen put the window there (the Esc key).
    Q_INVOKABLE void exitFullScreen();
    // The window's real state, whoever changed it (the window manager too): leaving full screen there
    // clears the screen's own flag without asking the window again.
    Q_INVOKABLE void windowFullScreenChanged(bool fullScreen);

    Q_INVOKABLE QString formattedTime(double seconds) const;
    // Fills a looked-up "Episodio %lld de %lld" with the episode position, in the session's language.
    Q_INVOKABLE QString episodeLabel(const QString &format) const;

signals:
    void requestChanged();
    void languageChanged();
    void presentationActionChanged();
    void screenChanged();
    void controlsChanged();
    void timelineChanged();
    void fullScreenRequested(bool on);
    void episodeTextChanged();
    void videoAspectRatioChanged();

    // To the host.
    void progressReported(double fraction);
    void previousEpisodeRequested();
    void nextEpisodeRequested();
    void presentationActionTriggered();
    void closed();
    void playerReady(sendra::playback::VLCPlaybackController *controller);

private:
    bool isLive() const;
    void buildController();
    void handOver(VLCPlaybackController *controller);
    void armStartupWatchdog(std::optional<std::chrono::milliseconds> after = std::nullopt);
    void startupWatchdogFired();
    void handleState(PlayerState state);
    void markVideoStarted();
    void attemptAutomaticReconnect();
    void reconnectFired();
    void cancelReconnectTimers();
    void scheduleControlsHide();
    void showControls();
    void stopForGood();
    void leaveFullScreen();
    void rereadTracks();
    void applyTimeline(const PlaybackTimeline &timeline);
    void watchForStalls();
    void readVideoAspectRatio();

    orrinth::PlaybackRequest m_request;
    QPointer<QNetworkAccessManager> m_network;
    PlaybackTimings m_timings;
    QString m_language;
    QString m_presentationActionTitle;
    QString m_presentationActionSymbol;

    // The surface's controller, and whether the screen holds it (from hand-over until closing).
    std::unique_ptr<VLCPlaybackController> m_surfaceController;
    bool m_controllerHeld = false;
    QPointer<QVideoSink> m_sink;

    QString m_statusMessage = status::preparing;
    bool m_failed = false;
    bool m_videoStarted = false;
    bool m_isPlaying = false;
    bool m_isLandscape = false;
    bool m_isClosing = false;
    bool m_isScrubbing = false;
    bool m_controlsVisible = true;
    bool m_reconnectScheduled = false;
    bool m_paused = false;
    int m_reconnectAttempt = 0;
    double m_videoAspectRatio = 0;
    QList<VLCAudioTrack> m_audioTracks;
    QList<VLCSubtitleTrack> m_subtitleTracks;
    PlaybackTimeline m_timeline;

    QTimer m_watchdog;
    QTimer m_stallWatchdog;
    QTimer m_reconnect;
    QTimer m_controlsHide;
};

} // namespace sendra::playback
