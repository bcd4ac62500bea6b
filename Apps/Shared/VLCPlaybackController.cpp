#include "Shared/VLCPlaybackController.h"

#include "Shared/MediaOptions.h"
#include "Shared/NativeEngine.h"
#include "Shared/PlaybackLog.h"
#include "Shared/ProviderMovieRedirectResolver.h"
#include "Shared/VlcEngine.h"

#include <QNetworkAccessManager>
#include <QVideoSink>
#include <QCoro/QCoroTask>

#include <algorithm>
#include <cmath>

namespace sendra::playback {

namespace {

// A film cut short by the server ends with "end reached" all the same. Judged by the time left, not by a
// share of the length: the last time event can lag the end by half a second, which is most of a short clip.
constexpr qint64 cutShortMargin = 10000; // ms

double finiteFraction(double value)
{
    return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
}

float startPosition(double resumeProgress)
{
    if (!std::isfinite(resumeProgress) || resumeProgress <= 0)
        return 0;
    return float(std::min(resumeProgress, 0.94));
}

} // namespace

VLCPlaybackController::VLCPlaybackController(QNetworkAccessManager* network, PlaybackTimings timings, QObject* parent)
    : QObject(parent), m_network(network), m_timings(timings), m_vlc(std::make_unique<VlcEngine>())
{
    qRegisterMetaType<PlaybackTimeline>();
    qRegisterMetaType<PlayerState>();
    m_videoOutputMonitor.setInterval(m_timings.frameMonitor);
    m_nativeTimelineMonitor.setInterval(m_timings.nativeTimeline);
    connect(&m_videoOutputMonitor, &QTimer::timeout, this, &VLCPlaybackController::videoOutputTick);
    connect(&m_nativeTimelineMonitor, &QTimer::timeout, this, &VLCPlaybackController::nativeTimelineTick);
    connect(m_vlc.get(), &PlaybackEngine::stateChanged, this, &VLCPlaybackController::handleVlcState);
    connect(m_vlc.get(), &PlaybackEngine::timeChanged, this, &VLCPlaybackController::handleVlcTime);
    connectPictureSignals(*m_vlc);
}

void VLCPlaybackController::connectPictureSignals(PlaybackEngine& engine)
{
    connect(&engine, &PlaybackEngine::frameShown, this, [this, &engine] {
        if (&engine == &active() && !m_isShutdown)
            emit playbackAdvanced();
    });
    connect(&engine, &PlaybackEngine::displayAspectRatioChanged, this, [this, &engine] {
        if (&engine == &active())
            emit videoAspectRatioChanged();
    });
}

double VLCPlaybackController::videoAspectRatio() const
{
    return active().displayAspectRatio();
}

VLCPlaybackController::~VLCPlaybackController()
{
    stop(false);
}

void VLCPlaybackController::setHostSink(QVideoSink* sink)
{
    m_hostSink = sink;
    active().setVideoSink(sink);
}

PlaybackEngine& VLCPlaybackController::active() const
{
    if (m_engine == Engine::native && m_native)
        return *m_native;
    return *m_vlc;
}

void VLCPlaybackController::update(const QUrl& url, double resumeProgress)
{
    if (m_isShutdown || m_currentURL == url)
        return;
    cancelRedirect();
    if (m_currentURL) {
        m_vlc->stop();
        stopNativePlayback(true);
        m_engine = Engine::vlc;
        m_vlc->setVideoSink(m_hostSink);
    }
    m_currentURL = url;
    m_resolvedURL.reset();
    m_didReportProgress = false;
    m_lastProgressReport.invalidate();
    m_lastRealPosition = 0;
    m_lastElapsed = -1;
    m_lastAdvanceTime = -1;
    m_pictureStarted = false;
    m_endedEarly = false;
    m_ended = false;
    m_endedLength = -1;
    m_lastLength = -1;
    m_position.forget();
    m_startFraction = startPosition(resumeProgress);
    m_pendingResumeProgress = m_startFraction;
    emit timelineChanged(PlaybackTimeline{});

    if (!ProviderMovieRedirectResolver::isProviderMovie(url)) {
        m_resolvedURL = url;
        openOnVlc(url, url);
        return;
    }
    startRedirectResolution(url);
}

void VLCPlaybackController::startRedirectResolution(const QUrl& url)
{
    const netkit::CancelToken token;
    m_redirectToken = token;
    const ProbeTimeouts timeouts{m_timings.probeRequestTimeout, m_timings.probeResourceTimeout};
    // Detached on purpose: the task holds the controller weakly and checks it is still wanted before opening.
    [](QPointer<VLCPlaybackController> self, QPointer<QNetworkAccessManager> network, QUrl url,
       netkit::CancelToken token, ProbeTimeouts timeouts) -> QCoro::Task<> {
        try {
            const QUrl target = co_await ProviderMovieRedirectResolver::resolve(network, url, token, timeouts);
            if (token.isCancelled() || !self || self->m_isShutdown || self->m_currentURL != url)
                co_return;
            self->m_redirectToken.reset();
            self->m_resolvedURL = target;
            self->openOnVlc(target, url);
        } catch (...) {
            if (!token.isCancelled())
                qCWarning(playbackLog, "Sendra: the film's address could not be followed to its server");
        }
    }(this, m_network, url, token, timeouts);
}

void VLCPlaybackController::cancelRedirect()
{
    if (m_redirectToken)
        m_redirectToken->cancel();
    m_redirectToken.reset();
}

void VLCPlaybackController::openOnVlc(const QUrl& openURL, const QUrl& requestedURL)
{
    if (m_isShutdown)
        return;
    m_vlc->setVideoSink(m_hostSink);
    m_position.reopen();
    m_move.reset();
    m_vlc->open(openURL, configuredMediaOptions(openURL, requestedURL));
    beginVideoOutputMonitoring();
}

void VLCPlaybackController::stop(bool reportProgress)
{
    if (m_isShutdown)
        return;
    m_isShutdown = true;
    cancelRedirect();
    if (reportProgress)
        reportCurrentProgress();
    m_videoOutputMonitor.stop();
    stopNativePlayback(true);
    m_hostSink.clear();
    m_vlc->setVideoSink(nullptr);
    m_vlc->stop();
    m_currentURL.reset();
    m_resolvedURL.reset();
}

void VLCPlaybackController::restart()
{
    if (m_isShutdown || !m_currentURL)
        return;
    const QUrl target = m_resolvedURL.value_or(*m_currentURL);
    // Once pictures were shown the viewer has a real position; opening at 0 would lose it (and the next
    // progress report would overwrite the resume point with it). Before that the resume point is not
    // applied again.
    if (m_pictureStarted && m_lastRealPosition > 0)
        m_pendingResumeProgress = float(m_lastRealPosition);
    m_pictureStarted = false;
    m_endedEarly = false;
    m_ended = false;
    m_didReportProgress = false;
    m_lastElapsed = -1;
    m_lastAdvanceTime = -1;
    if (m_engine == Engine::native) {
        startNativePlayback(target, m_pendingResumeProgress);
        m_pendingResumeProgress = 0;
        return;
    }
    m_vlc->stop();
    openOnVlc(target, *m_currentURL);
}

bool VLCPlaybackController::useNativeFallbackIfAvailable()
{
    if (m_isShutdown || m_engine != Engine::vlc || !m_currentURL)
        return false;
    const QUrl candidate = m_resolvedURL.value_or(*m_currentURL);
    static const QStringList nativeExtensions{"mp4", "m4v", "mov", "m3u8"};
    if (!nativeExtensions.contains(fileExtension(candidate)) || !m_hostSink)
        return false;
    m_vlc->stop();
    m_vlc->setVideoSink(nullptr);
    m_engine = Engine::native;
    if (!m_native) {
        m_native = std::make_unique<NativeEngine>();
        connect(m_native.get(), &PlaybackEngine::stateChanged, this, &VLCPlaybackController::handleNativeState);
        connectPictureSignals(*m_native);
    }
    m_native->setVideoSink(m_hostSink);
    // The native engine starts where the viewer was, or else where the request asked to start.
    const double start = m_pictureStarted && m_lastRealPosition > 0 ? m_lastRealPosition : double(m_startFraction);
    m_pendingResumeProgress = 0;
    m_pictureStarted = false;
    m_endedEarly = false;
    m_ended = false;
    startNativePlayback(candidate, start);
    return true;
}

void VLCPlaybackController::startNativePlayback(const QUrl& url, double startFraction)
{
    m_nativeTimelineMonitor.stop();
    m_videoOutputMonitor.stop();
    m_move.reset();
    m_native->setStartPosition(startFraction);
    m_native->open(url, {});
    beginVideoOutputMonitoring();
}

void VLCPlaybackController::stopNativePlayback(bool removeSink)
{
    m_nativeTimelineMonitor.stop();
    if (!m_native)
        return;
    m_native->stop();
    if (removeSink)
        m_native->setVideoSink(nullptr);
}

void VLCPlaybackController::beginVideoOutputMonitoring()
{
    m_videoOutputMonitor.start();
}

void VLCPlaybackController::videoOutputTick()
{
    if (m_isShutdown) {
        m_videoOutputMonitor.stop();
        return;
    }
    PlaybackEngine& engine = active();
    if (engine.hasFailed()) {
        m_videoOutputMonitor.stop();
        emit stateChanged(PlayerState::error);
        return;
    }
    if (!engine.hasStartedOutput())
        return;
    m_videoOutputMonitor.stop();
    m_pictureStarted = true;
    if (m_engine == Engine::native)
        beginNativeTimelineMonitoring();
    emit videoStarted();
}

void VLCPlaybackController::beginNativeTimelineMonitoring()
{
    m_nativeTimelineMonitor.start();
}

void VLCPlaybackController::nativeTimelineTick()
{
    if (m_isShutdown || m_engine != Engine::native || !m_native) {
        m_nativeTimelineMonitor.stop();
        return;
    }
    // A stream that breaks after its first frame fails here, not in the start-up monitor.
    if (m_native->hasFailed()) {
        m_nativeTimelineMonitor.stop();
        emit stateChanged(PlayerState::error);
        return;
    }
    const double duration = double(m_native->length()) / 1000.0;
    const double elapsed = double(m_native->time()) / 1000.0;
    if (!(std::isfinite(duration) && duration > 0 && std::isfinite(elapsed) && elapsed >= 0))
        return;
    const double position = std::clamp(elapsed / duration, 0.0, 1.0);
    m_lastLength = m_native->length();
    if (m_native->time() != m_lastElapsed)
        emit playbackAdvanced();
    m_lastElapsed = m_native->time();
    if (predatesMove(m_native->time()))
        return;
    m_lastRealPosition = position;
    emit timelineChanged(PlaybackTimeline{position, elapsed, duration, true});
    if (takeProgressSlot())
        emit progressReported(position);
}

bool VLCPlaybackController::takeProgressSlot()
{
    if (m_lastProgressReport.isValid() && m_lastProgressReport.elapsed() < m_timings.progressThrottle.count())
        return false;
    m_lastProgressReport.start();
    return true;
}

void VLCPlaybackController::handleVlcTime()
{
    if (m_isShutdown || m_engine != Engine::vlc)
        return;
    // A live channel has no position, but its time moves.
    const qint64 time = m_vlc->time();
    if (time > 0 && time != m_lastAdvanceTime) {
        m_lastAdvanceTime = time;
        emit playbackAdvanced();
    }
    const double position = m_vlc->position();
    if (!std::isfinite(position) || position <= 0 || predatesMove(time))
        return;
    const qint64 length = m_vlc->length();
    m_lastRealPosition = m_position.report(length, time, std::min(position, 1.0));
    m_lastElapsed = time;
    m_lastLength = length;
    const double elapsed = double(std::max<qint64>(0, time)) / 1000.0;
    const double duration = double(std::max<qint64>(0, length)) / 1000.0;
    const bool due = m_lastRealPosition > 0 && takeProgressSlot();
    emit timelineChanged(PlaybackTimeline{m_lastRealPosition, elapsed, duration, m_vlc->isSeekable()});
    if (due)
        emit progressReported(m_lastRealPosition);
}

void VLCPlaybackController::handleVlcState(PlayerState state)
{
    if (m_isShutdown || m_engine != Engine::vlc)
        return;
    if (state == PlayerState::ended) {
        m_endedEarly = endsBeforeItsLength(m_vlc->length());
        emit stateChanged(state);
        reportEndOfMedia();
        return;
    }
    emit stateChanged(state);
    if (state == PlayerState::playing && m_pendingResumeProgress > 0) {
        m_vlc->setPosition(m_pendingResumeProgress);
        m_position.moveTo(m_pendingResumeProgress);
        m_pendingResumeProgress = 0;
    }
}

void VLCPlaybackController::handleNativeState(PlayerState state)
{
    if (m_isShutdown || m_engine != Engine::native || state != PlayerState::ended)
        return;
    m_nativeTimelineMonitor.stop();
    m_endedEarly = endsBeforeItsLength(m_native->length());
    emit stateChanged(state);
    reportEndOfMedia();
}

bool VLCPlaybackController::endsBeforeItsLength(qint64 length) const
{
    // No time seen at all counts as nothing played.
    return length > 0 && length - std::max<qint64>(m_lastElapsed, 0) > cutShortMargin;
}

void VLCPlaybackController::reportEndOfMedia()
{
    // Cut short by the server: the resume point must survive, and the screen reconnects, so the final report
    // stays due.
    if (m_endedEarly) {
        if (m_lastRealPosition > 0)
            emit progressReported(m_lastRealPosition);
        return;
    }
    m_ended = true;
    m_endedLength = m_lastLength;
    m_didReportProgress = true;
    emit progressReported(1.0);
}

void VLCPlaybackController::replayFrom(double fraction)
{
    if (m_isShutdown || !m_currentURL)
        return;
    const QUrl target = m_resolvedURL.value_or(*m_currentURL);
    // Short of the very end, or the media would end again at once.
    const float start = float(std::min(finiteFraction(fraction), 0.99));
    m_ended = false;
    m_endedEarly = false;
    m_didReportProgress = false;
    m_pictureStarted = false;
    m_lastElapsed = -1;
    m_lastAdvanceTime = -1;
    if (m_engine == Engine::native) {
        m_pendingResumeProgress = 0;
        startNativePlayback(target, start);
        return;
    }
    m_pendingResumeProgress = start;
    m_vlc->stop();
    openOnVlc(target, *m_currentURL);
}

std::optional<double> VLCPlaybackController::livePosition() const
{
    if (m_ended)
        return 1.0;
    // After a cut the engine's position says nothing; the last one seen is where the viewer was.
    if (m_endedEarly)
        return m_lastRealPosition > 0 ? std::optional<double>(m_lastRealPosition) : std::nullopt;
    // Opened but not yet moved to its start: the viewer is at the start, not at the engine's first instant.
    if (m_engine == Engine::vlc && m_pendingResumeProgress > 0)
        return double(m_pendingResumeProgress);
    if (m_move)
        return m_move->fraction();
    if (m_engine == Engine::native) {
        if (!m_native)
            return std::nullopt;
        const double duration = double(m_native->length());
        const double elapsed = double(m_native->time());
        if (!(duration > 0 && elapsed > 0))
            return std::nullopt;
        return std::clamp(elapsed / duration, 0.0, 1.0);
    }
    const double position = m_vlc->position();
    if (!std::isfinite(position) || position <= 0)
        return std::nullopt;
    const double viewer = m_position.at(m_vlc->length(), m_vlc->time(), std::min(position, 1.0));
    return viewer > 0 ? std::optional<double>(viewer) : std::nullopt;
}

std::optional<double> VLCPlaybackController::currentPosition() const
{
    if (m_isShutdown || !m_currentURL)
        return std::nullopt;
    return livePosition();
}

void VLCPlaybackController::reportCurrentProgress()
{
    if (m_didReportProgress)
        return;
    const std::optional<double> position = livePosition();
    if (!position)
        return;
    m_didReportProgress = true;
    emit progressReported(*position);
}

void VLCPlaybackController::seek(double fraction)
{
    const double target = finiteFraction(fraction);
    if (m_ended) {
        replayFrom(target);
        return;
    }
    if (m_engine == Engine::native) {
        if (m_native) {
            const qint64 length = m_native->length();
            showMove(m_native->time(), qint64(target * double(length)), length, true);
            m_native->setPosition(target);
        }
        return;
    }
    if (m_vlc->isSeekable()) {
        const qint64 length = m_vlc->length();
        showMove(m_vlc->time(), qint64(target * double(length)), length, true);
        m_vlc->setPosition(target);
        m_position.moveTo(target);
    }
}

void VLCPlaybackController::jump(double seconds)
{
    if (m_ended) {
        // Only backwards: forwards from the end there is nothing to play.
        if (std::isfinite(seconds) && seconds < 0 && m_endedLength > 0)
            replayFrom((double(m_endedLength) + seconds * 1000.0) / double(m_endedLength));
        return;
    }
    // Without a length, where the jump lands follows from the byte rate (unknown yet: from the leap in play time).
    if (m_engine == Engine::vlc && m_vlc->length() <= 0) {
        if (const std::optional<double> now = livePosition())
            m_position.jump(*now, seconds);
    }
    PlaybackEngine& engine = active();
    if (std::isfinite(seconds)) {
        const qint64 now = engine.time();
        showMove(now, now + qint64(seconds * 1000), engine.length(), engine.isSeekable());
    }
    engine.jump(seconds);
}

void VLCPlaybackController::showMove(qint64 from, qint64 to, qint64 length, bool seekable)
{
    if (from < 0 || length <= 0)
        return;
    to = std::clamp<qint64>(to, 0, length);
    const double shown = double(to) / double(length);
    m_move = ShownMove(from, to, shown);
    m_lastRealPosition = shown;
    emit timelineChanged(PlaybackTimeline{shown, double(to) / 1000.0, double(length) / 1000.0, seekable});
}

bool VLCPlaybackController::predatesMove(qint64 time)
{
    if (m_move && !m_move->holdsBack(time))
        m_move.reset();
    return m_move.has_value();
}

void VLCPlaybackController::togglePlayPause()
{
    if (m_ended) {
        replayFrom(0);
        return;
    }
    PlaybackEngine& engine = active();
    if (engine.isPlaying())
        engine.pause();
    else
        engine.play();
}

bool VLCPlaybackController::isEnginePlaying() const
{
    return active().isPlaying();
}

QList<VLCAudioTrack> VLCPlaybackController::availableAudioTracks() const
{
    return active().audioTracks();
}

QList<VLCSubtitleTrack> VLCPlaybackController::availableSubtitleTracks() const
{
    return active().subtitleTracks();
}

void VLCPlaybackController::selectAudioTrack(int id)
{
    active().selectAudioTrack(id);
}

void VLCPlaybackController::selectSubtitleTrack(int id)
{
    active().selectSubtitleTrack(id);
}

} // namespace sendra::playback
