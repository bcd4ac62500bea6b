#include "Shared/PlayerSession.h"

#include "Shared/QmlTextLookup.h"
#include "Shared/VLCPlaybackController.h"

#include "Domain/L10n.h"

#include <QNetworkAccessManager>
#include <QVariantMap>
#include <QVideoSink>

#include <algorithm>
#include <cmath>

namespace sendra::playback {

namespace {

template <typename Track>
QVariantList trackModel(const QList<Track>& tracks)
{
    QVariantList model;
    for (const Track& track : tracks)
        model.append(QVariantMap{{QStringLiteral("id"), track.id}, {QStringLiteral("name"), track.name}});
    return model;
}

} // namespace

PlayerSession::PlayerSession(orrinth::PlaybackRequest request, QNetworkAccessManager* network, PlaybackTimings timings,
                             QObject* parent)
    : QObject(parent), m_request(std::move(request)), m_network(network), m_timings(timings),
      m_language(storedValue(LanguagePreferences::selected()))
{
    for (QTimer* timer : {&m_watchdog, &m_stallWatchdog, &m_reconnect, &m_controlsHide})
        timer->setSingleShot(true);
    m_controlsHide.setInterval(m_timings.controlsHide);
    connect(&m_watchdog, &QTimer::timeout, this, &PlayerSession::startupWatchdogFired);
    // A frozen picture under "Reproduciendo" is a failure like any other.
    connect(&m_stallWatchdog, &QTimer::timeout, this, [this] {
        if (!m_isClosing && m_videoStarted && !m_failed && !m_reconnectScheduled && !m_paused)
            attemptAutomaticReconnect();
    });
    connect(&InterfaceLanguage::instance(), &InterfaceLanguage::changed, this,
            [this] { setLanguage(InterfaceLanguage::instance().code()); });
    connect(&m_reconnect, &QTimer::timeout, this, &PlayerSession::reconnectFired);
    connect(&m_controlsHide, &QTimer::timeout, this, [this] {
        if (!m_videoStarted || m_failed || m_isScrubbing)
            return;
        m_controlsVisible = false;
        emit controlsChanged();
    });
}

PlayerSession::~PlayerSession() = default;

bool PlayerSession::isLive() const
{
    return m_request.item().kind() == orrinth::ContentKind::live;
}

bool PlayerSession::canGoToPreviousEpisode() const
{
    return hasEpisodes() && m_request.episodeIndex() > 0;
}

bool PlayerSession::canGoToNextEpisode() const
{
    return hasEpisodes() && m_request.episodeIndex() < m_request.episodeURLs().size() - 1;
}

void PlayerSession::setLanguage(const QString& languageCode)
{
    if (m_language == languageCode)
        return;
    m_language = languageCode;
    emit languageChanged();
    emit episodeTextChanged();
    emit screenChanged();
}

void PlayerSession::setPresentationAction(const QString& title, const QString& symbol)
{
    m_presentationActionTitle = title;
    m_presentationActionSymbol = symbol;
    emit presentationActionChanged();
}

QString PlayerSession::localizedStatusMessage() const
{
    return playback::localizedStatusMessage(m_statusMessage, m_language);
}

QVariantList PlayerSession::audioTracksModel() const
{
    return trackModel(m_audioTracks);
}

QVariantList PlayerSession::subtitleTracksModel() const
{
    return trackModel(m_subtitleTracks);
}

VLCPlaybackController* PlayerSession::controller() const
{
    return m_controllerHeld ? m_surfaceController.get() : nullptr;
}

std::optional<double> PlayerSession::currentProgress() const
{
    // The surface's controller plays before it is handed over (a turn later); what it played counts already.
    if (m_isClosing || !m_surfaceController)
        return std::nullopt;
    return m_surfaceController->currentPosition();
}

QString PlayerSession::formattedTime(double seconds) const
{
    return playback::formattedTime(seconds);
}

QString PlayerSession::episodeText() const
{
    if (!hasEpisodes())
        return {};
    return episodeLabel(textIn(m_language, QString::fromUtf8(L10n::noop("Episodio %lld de %lld"))));
}

QString PlayerSession::episodeLabel(const QString& format) const
{
    return formatCounts(format, m_language, {m_request.episodeIndex() + 1, m_request.episodeURLs().size()});
}

// ---- the video surface ----

void PlayerSession::attachVideoSink(QVideoSink* sink)
{
    m_sink = sink;
    if (m_surfaceController && !m_surfaceController->isShutdown()) {
        m_surfaceController->setHostSink(sink);
        return;
    }
    buildController();
}

void PlayerSession::buildController()
{
    m_controllerHeld = false;
    m_surfaceController = std::make_unique<VLCPlaybackController>(m_network, m_timings);
    VLCPlaybackController* controller = m_surfaceController.get();
    connect(controller, &VLCPlaybackController::stateChanged, this, &PlayerSession::handleState);
    connect(controller, &VLCPlaybackController::videoStarted, this, &PlayerSession::markVideoStarted);
    connect(controller, &VLCPlaybackController::timelineChanged, this, &PlayerSession::applyTimeline);
    connect(controller, &VLCPlaybackController::progressReported, this, &PlayerSession::progressReported);
    connect(controller, &VLCPlaybackController::playbackAdvanced, this, &PlayerSession::watchForStalls);
    connect(controller, &VLCPlaybackController::videoAspectRatioChanged, this, &PlayerSession::readVideoAspectRatio);
    controller->setHostSink(m_sink);
    controller->update(m_request.url(), m_request.resumeProgress());
    controller->beginVideoOutputMonitoring();
    QTimer::singleShot(0, controller, [this, controller] { handOver(controller); });
}

void PlayerSession::detachVideoSink()
{
    m_sink.clear();
    if (m_surfaceController)
        m_surfaceController->stop(true);
}

void PlayerSession::handOver(VLCPlaybackController* controller)
{
    if (m_isClosing) {
        controller->stop(false);
        return;
    }
    m_controllerHeld = true;
    emit playerReady(controller);
    armStartupWatchdog();
}

// ---- screen state ----

void PlayerSession::setRequest(orrinth::PlaybackRequest request)
{
    const bool sameRequest = request.id() == m_request.id();
    m_request = std::move(request);
    emit requestChanged();
    emit episodeTextChanged();
    if (sameRequest)
        return;
    cancelReconnectTimers();
    m_isClosing = false;
    m_videoStarted = false;
    m_failed = false;
    m_isPlaying = false;
    m_paused = false;
    m_timeline = PlaybackTimeline{};
    if (m_videoAspectRatio != 0) {
        m_videoAspectRatio = 0;
        emit videoAspectRatioChanged();
    }
    m_reconnectAttempt = 0;
    m_statusMessage = status::loadingEpisode;
    emit screenChanged();
    emit timelineChanged();
    showControls();
    armStartupWatchdog();
    if (!m_surfaceController)
        return;
    // A controller that was stopped for good cannot play again; the surface then starts over with a new one.
    if (m_surfaceController->isShutdown())
        buildController();
    else
        m_surfaceController->update(m_request.url(), m_request.resumeProgress());
}

void PlayerSession::armStartupWatchdog(std::optional<std::chrono::milliseconds> after)
{
    if (m_isClosing || m_videoStarted || m_failed || m_reconnectScheduled || m_watchdog.isActive())
        return;
    m_watchdog.start(after.value_or(isLive() ? m_timings.liveStartupWatchdog : m_timings.startupWatchdog));
}

void PlayerSession::startupWatchdogFired()
{
    if (m_isClosing || m_videoStarted || m_failed || m_reconnectScheduled)
        return;
    attemptAutomaticReconnect();
}

void PlayerSession::handleState(PlayerState state)
{
    if (m_isClosing)
        return;
    switch (state) {
    case PlayerState::stopped:
        if (m_statusMessage == status::playing)
            return;
        m_statusMessage = status::stopped;
        emit screenChanged();
        armStartupWatchdog();
        break;
    case PlayerState::opening:
        m_statusMessage = status::opening;
        emit screenChanged();
        armStartupWatchdog();
        break;
    case PlayerState::buffering:
        if (m_videoStarted)
            return;
        m_statusMessage = status::loadingVideo;
        emit screenChanged();
        armStartupWatchdog();
        break;
    case PlayerState::error:
        attemptAutomaticReconnect();
        break;
    case PlayerState::playing:
        m_paused = false;
        watchForStalls();
        m_failed = false;
        m_statusMessage = status::loadingVideo;
        m_isPlaying = true;
        rereadTracks();
        emit screenChanged();
        armStartupWatchdog();
        break;
    case PlayerState::paused:
        cancelReconnectTimers();
        m_paused = true;
        m_isPlaying = false;
        emit screenChanged();
        break;
    case PlayerState::ended: {
        // A live channel has no end, and a film with much of its length left was cut by the server: both
        // go down the failure road instead of freezing on their last picture.
        const VLCPlaybackController* held = controller();
        if (isLive() || (held && held->endedBeforeItsEnd())) {
            attemptAutomaticReconnect();
            break;
        }
        m_stallWatchdog.stop();
        m_isPlaying = false;
        emit screenChanged();
        break;
    }
    case PlayerState::esAdded:
        break;
    }
}

void PlayerSession::markVideoStarted()
{
    if (m_isClosing || m_videoStarted)
        return;
    cancelReconnectTimers();
    m_videoStarted = true;
    m_failed = false;
    m_statusMessage = status::playing;
    m_isPlaying = true;
    // A stream that recovered starts counting afresh; otherwise a live channel that came back from four
    // short outages over an evening would give up at the fifth.
    m_reconnectAttempt = 0;
    rereadTracks();
    readVideoAspectRatio();
    emit screenChanged();
    scheduleControlsHide();
    watchForStalls();
}

void PlayerSession::watchForStalls()
{
    if (m_isClosing || !m_videoStarted || m_failed || m_reconnectScheduled || m_paused) {
        m_stallWatchdog.stop();
        return;
    }
    const VLCPlaybackController* held = controller();
    const bool onFallback = held && held->engine() == EngineKind::native;
    m_stallWatchdog.start(onFallback ? m_timings.fallbackWatchdog : m_timings.stallWatchdog);
}

void PlayerSession::readVideoAspectRatio()
{
    const VLCPlaybackController* held = controller();
    const double aspect = held ? held->videoAspectRatio() : 0;
    if (aspect == m_videoAspectRatio)
        return;
    m_videoAspectRatio = aspect;
    emit videoAspectRatioChanged();
}

void PlayerSession::attemptAutomaticReconnect()
{
    m_watchdog.stop();
    if (m_isClosing || m_reconnectScheduled)
        return;
    VLCPlaybackController* held = controller();
    if (m_reconnectAttempt == 0 && held && held->useNativeFallbackIfAvailable()) {
        m_failed = false;
        m_videoStarted = false;
        m_isPlaying = false;
        m_statusMessage = status::opening;
        emit screenChanged();
        armStartupWatchdog(m_timings.fallbackWatchdog);
        return;
    }
    if (m_reconnectAttempt >= maximumReconnectAttempts) {
        m_reconnect.stop();
        m_reconnectScheduled = false;
        m_failed = true;
        m_isPlaying = false;
        m_statusMessage = status::interrupted;
        emit screenChanged();
        emit controlsChanged();
        return;
    }
    ++m_reconnectAttempt;
    m_reconnectScheduled = true;
    m_failed = false;
    m_videoStarted = false;
    m_isPlaying = false;
    m_statusMessage = reconnectionStatus(m_reconnectAttempt);
    emit screenChanged();
    const int step = int(std::clamp(m_reconnectAttempt, 1, maximumReconnectAttempts));
    m_reconnect.start((isLive() ? m_timings.liveReconnectStep : m_timings.reconnectStep) * step);
}

void PlayerSession::reconnectFired()
{
    m_reconnectScheduled = false;
    if (m_isClosing || m_failed || m_videoStarted) {
        emit screenChanged();
        return;
    }
    emit screenChanged();
    if (VLCPlaybackController* held = controller())
        held->restart();
    armStartupWatchdog();
}

void PlayerSession::cancelReconnectTimers()
{
    m_watchdog.stop();
    m_stallWatchdog.stop();
    m_reconnect.stop();
    if (m_reconnectScheduled) {
        m_reconnectScheduled = false;
        emit screenChanged();
    }
}

void PlayerSession::retry()
{
    cancelReconnectTimers();
    m_failed = false;
    m_videoStarted = false;
    m_reconnectAttempt = 0;
    m_statusMessage = status::preparing;
    emit screenChanged();
    if (VLCPlaybackController* held = controller())
        held->restart();
    armStartupWatchdog();
}

void PlayerSession::stopForGood()
{
    m_isClosing = true;
    cancelReconnectTimers();
    m_controlsHide.stop();
    if (VLCPlaybackController* held = controller()) {
        // The final progress report reaches the host from inside this call.
        held->stop(true);
        m_controllerHeld = false;
    }
    leaveFullScreen();
    emit screenChanged();
}

void PlayerSession::close()
{
    if (m_isClosing)
        return;
    stopForGood();
    emit closed();
}

void PlayerSession::disappear()
{
    stopForGood();
}

void PlayerSession::leaveFullScreen()
{
    if (!m_isLandscape)
        return;
    m_isLandscape = false;
    emit fullScreenRequested(false);
}

void PlayerSession::rereadTracks()
{
    VLCPlaybackController* held = controller();
    m_audioTracks = held ? held->availableAudioTracks() : QList<VLCAudioTrack>{};
    m_subtitleTracks = held ? held->availableSubtitleTracks() : QList<VLCSubtitleTrack>{};
}

void PlayerSession::applyTimeline(const PlaybackTimeline& timeline)
{
    if (m_isScrubbing)
        return;
    m_timeline = timeline;
    emit timelineChanged();
}

// ---- controls ----

void PlayerSession::scheduleControlsHide()
{
    m_controlsHide.stop();
    if (m_videoStarted && !m_failed && !m_isScrubbing)
        m_controlsHide.start();
}

void PlayerSession::showControls()
{
    m_controlsHide.stop();
    if (!m_controlsVisible) {
        m_controlsVisible = true;
        emit controlsChanged();
    }
    scheduleControlsHide();
}

void PlayerSession::appear()
{
    showControls();
}

void PlayerSession::reveal()
{
    showControls();
}

void PlayerSession::pointerLeft()
{
    scheduleControlsHide();
}

void PlayerSession::togglePlayPause()
{
    if (VLCPlaybackController* held = controller())
        held->togglePlayPause();
    m_isPlaying = !m_isPlaying;
    emit screenChanged();
}

void PlayerSession::skip(double seconds)
{
    if (VLCPlaybackController* held = controller())
        held->jump(seconds);
}

void PlayerSession::beginScrub()
{
    m_isScrubbing = true;
    m_controlsHide.stop();
    m_controlsVisible = true;
    emit controlsChanged();
}

void PlayerSession::scrub(double fraction)
{
    m_timeline.position = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    m_timeline.elapsed = m_timeline.position * m_timeline.duration;
    emit timelineChanged();
}

void PlayerSession::endScrub()
{
    m_isScrubbing = false;
    emit controlsChanged();
    if (VLCPlaybackController* held = controller())
        held->seek(m_timeline.position);
    scheduleControlsHide();
}

void PlayerSession::selectAudioTrack(int id)
{
    if (VLCPlaybackController* held = controller())
        held->selectAudioTrack(id);
}

void PlayerSession::selectSubtitleTrack(int id)
{
    if (VLCPlaybackController* held = controller())
        held->selectSubtitleTrack(id);
}

void PlayerSession::previousEpisode()
{
    if (canGoToPreviousEpisode())
        emit previousEpisodeRequested();
}

void PlayerSession::nextEpisode()
{
    if (canGoToNextEpisode())
        emit nextEpisodeRequested();
}

void PlayerSession::triggerPresentationAction()
{
    if (hasPresentationAction())
        emit presentationActionTriggered();
}

void PlayerSession::toggleOrientation()
{
    m_isLandscape = !m_isLandscape;
    emit screenChanged();
    emit fullScreenRequested(m_isLandscape);
}

void PlayerSession::exitFullScreen()
{
    if (!m_isLandscape)
        return;
    leaveFullScreen();
    emit screenChanged();
}

void PlayerSession::windowFullScreenChanged(bool fullScreen)
{
    if (fullScreen || !m_isLandscape)
        return;
    m_isLandscape = false;
    emit screenChanged();
}

} // namespace sendra::playback
