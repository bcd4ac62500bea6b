#pragma once

#include "Shared/PlaybackTypes.h"
#include "Shared/ViewerPosition.h"

#include "NetKit/CancelToken.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class QVideoSink;

namespace sendra::playback {

class PlaybackEngine;
class VlcEngine;
class NativeEngine;

// Plays one stream address at a time into the player screen's video sink: the VLC engine first, the native
// engine once on request when VLC fails on a file type it can play. Resolves film redirects before opening,
// watches for the first frame, publishes the timeline and reports watched progress. Main thread only.
class VLCPlaybackController final : public QObject, public PlaybackStopping
{
    Q_OBJECT

public:
    using Engine = EngineKind;

    // `network` is the process's shared manager, used for the redirect probe; without one films open
    // unprobed.
    explicit VLCPlaybackController(QNetworkAccessManager* network, PlaybackTimings timings = {},
                                   QObject* parent = nullptr);
    ~VLCPlaybackController() override;

    // The surface's sink. It may die first; the controller then treats the surface as gone.
    void setHostSink(QVideoSink* sink);

    // Starts or replaces playback; the address already playing changes nothing.
    void update(const QUrl& url, double resumeProgress);
    // Final shutdown, once; with `reportProgress` the last fraction is reported before this returns.
    void stop(bool reportProgress) override;
    // Opens the current address again on the active engine; the resume point is not applied again.
    void restart();
    // Switches to the native engine for mp4, m4v, mov and m3u8 addresses, once per address.
    bool useNativeFallbackIfAvailable();

    // After the end of the media each of these opens it again: play from the start, a seek or a jump from
    // where it points.
    void seek(double fraction);
    void jump(double seconds);
    void togglePlayPause();
    // The fraction played right now, as the timeline shows it (the start still to be applied counts); none
    // while unknown.
    std::optional<double> currentPosition() const;
    bool isEnginePlaying() const;
    QList<VLCAudioTrack> availableAudioTracks() const;
    QList<VLCSubtitleTrack> availableSubtitleTracks() const;
    void selectAudioTrack(int id);
    void selectSubtitleTrack(int id);

    // Reports the current fraction once per address (and not after the end was reported).
    void reportCurrentProgress();
    void beginVideoOutputMonitoring();

    // The media ended with more than a few seconds of its known length left: the server cut it.
    bool endedBeforeItsEnd() const { return m_endedEarly; }
    // Width over height of the picture as meant to be seen; 0 while unknown (use the frames' shape).
    double videoAspectRatio() const;

    Engine engine() const { return m_engine; }
    bool isShutdown() const { return m_isShutdown; }
    std::optional<QUrl> currentURL() const { return m_currentURL; }
    std::optional<QUrl> resolvedPlaybackURL() const { return m_resolvedURL; }

signals:
    void stateChanged(sendra::playback::PlayerState state);
    void videoStarted();
    void timelineChanged(const sendra::playback::PlaybackTimeline& timeline);
    void progressReported(double fraction);
    // Playback moved on: a new picture, or a new play time. Its absence for long means a frozen stream.
    void playbackAdvanced();
    void videoAspectRatioChanged();

private:
    PlaybackEngine& active() const;
    void openOnVlc(const QUrl& openURL, const QUrl& requestedURL);
    void startRedirectResolution(const QUrl& url);
    void cancelRedirect();
    void startNativePlayback(const QUrl& url, double startFraction);
    void connectPictureSignals(PlaybackEngine& engine);
    void handleNativeState(PlayerState state);
    bool endsBeforeItsLength(qint64 length) const;
    void stopNativePlayback(bool removeSink);
    void beginNativeTimelineMonitoring();
    void videoOutputTick();
    void nativeTimelineTick();
    void handleVlcState(PlayerState state);
    void handleVlcTime();
    bool takeProgressSlot();
    void showMove(qint64 from, qint64 to, qint64 length, bool seekable);
    bool predatesMove(qint64 time);
    void reportEndOfMedia();
    void replayFrom(double fraction);
    std::optional<double> livePosition() const;

    QPointer<QNetworkAccessManager> m_network;
    PlaybackTimings m_timings;
    std::unique_ptr<VlcEngine> m_vlc;
    std::unique_ptr<NativeEngine> m_native;
    QPointer<QVideoSink> m_hostSink;

    std::optional<QUrl> m_currentURL;
    std::optional<QUrl> m_resolvedURL;
    std::optional<netkit::CancelToken> m_redirectToken;
    bool m_didReportProgress = false;
    float m_pendingResumeProgress = 0;
    QElapsedTimer m_lastProgressReport; // invalid: the distant past
    float m_startFraction = 0;
    double m_lastRealPosition = 0;
    qint64 m_lastElapsed = -1; // ms, from the last time report
    qint64 m_lastAdvanceTime = -1;
    bool m_pictureStarted = false;
    bool m_endedEarly = false;
    // Played to its real end: the engine holds no media any more, and the length it had is kept for a jump.
    bool m_ended = false;
    qint64 m_endedLength = -1;
    qint64 m_lastLength = -1; // ms, from the last time report
    ViewerPosition m_position;
    // The last seek or jump, shown until the engine reports from there.
    std::optional<ShownMove> m_move;
    QTimer m_videoOutputMonitor;
    QTimer m_nativeTimelineMonitor;
    bool m_isShutdown = false;
    Engine m_engine = Engine::vlc;
};

} // namespace sendra::playback
