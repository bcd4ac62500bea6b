#include "Shared/NativeEngine.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QVideoFrame>
#include <QVideoSink>

#include <algorithm>
#include <cmath>

namespace sendra::playback {

NativeEngine::NativeEngine(QObject *parent)
    : PlaybackEngine(parent)
{
}

NativeEngine::~NativeEngine()
{
    stop();
}

void NativeEngine::setVideoSink(QVideoSink *sink)
{
    m_sink = sink;
}

void NativeEngine::open(const QUrl &url, const QStringList &)
{
    stop();
    m_opening = new QObject(this);
    m_player = new QMediaPlayer(m_opening);
    // Qt 6.4's FFmpeg backend crashes in its audio thread when there is no sound device to open.
    if (!QMediaDevices::defaultAudioOutput().isNull())
        m_player->setAudioOutput(new QAudioOutput(m_opening));
    // A relay sink of our own: the picture only counts once a real frame arrived, and the screen's sink may
    // be destroyed before the player.
    auto *relay = new QVideoSink(m_opening);
    m_player->setVideoSink(relay);
    connect(relay, &QVideoSink::videoFrameChanged, m_opening, [this](const QVideoFrame &frame) {
        if (!frame.isValid())
            return;
        m_frameSeen = true;
        // The start position waits for the first picture: before it the FFmpeg backend ignores seeks.
        if (m_startFraction > 0 && m_player->duration() > 0) {
            m_player->setPosition(qint64(m_startFraction * double(m_player->duration())));
            m_startFraction = 0;
        }
        if (m_sink)
            m_sink->setVideoFrame(frame);
        emit frameShown();
    });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, m_opening, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia && !m_failed)
            emit stateChanged(PlayerState::ended);
    });
    // After an error QMediaPlayer may still say "playing"; the failure is latched here instead.
    connect(m_player, &QMediaPlayer::errorOccurred, m_opening, [this](QMediaPlayer::Error error) {
        if (error != QMediaPlayer::NoError)
            m_failed = true;
    });
    m_player->setSource(url);
    m_player->play();
}

void NativeEngine::setStartPosition(double fraction)
{
    m_startFraction = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
}

void NativeEngine::stop()
{
    m_failed = false;
    m_frameSeen = false;
    if (!m_opening)
        return;
    m_player->stop();
    m_player->setSource(QUrl());
    m_opening->deleteLater();
    m_opening = nullptr;
    m_player = nullptr;
}

void NativeEngine::play()
{
    if (m_player)
        m_player->play();
}

void NativeEngine::pause()
{
    if (m_player)
        m_player->pause();
}

bool NativeEngine::isPlaying() const
{
    return m_player && m_player->playbackState() == QMediaPlayer::PlayingState;
}

bool NativeEngine::hasStartedOutput() const
{
    if (!isPlaying() || m_failed)
        return false;
    return m_frameSeen || (!m_player->hasVideo() && m_player->hasAudio() && m_player->position() > 0);
}

double NativeEngine::position() const
{
    const qint64 duration = length();
    return duration > 0 ? std::clamp(double(time()) / double(duration), 0.0, 1.0) : std::nan("");
}

void NativeEngine::setPosition(double fraction)
{
    const qint64 duration = length();
    if (duration > 0 && std::isfinite(fraction))
        m_player->setPosition(qint64(std::clamp(fraction, 0.0, 1.0) * double(duration)));
}

qint64 NativeEngine::time() const
{
    return m_player ? m_player->position() : -1;
}

qint64 NativeEngine::length() const
{
    return m_player ? m_player->duration() : -1;
}

bool NativeEngine::isSeekable() const
{
    return m_player && m_player->isSeekable();
}

void NativeEngine::jump(double seconds)
{
    const qint64 now = time();
    if (now < 0 || !std::isfinite(seconds))
        return;
    qint64 target = now + qint64(seconds * 1000);
    // Backwards stops at the start; forwards is left to the player.
    if (seconds < 0)
        target = std::max<qint64>(0, target);
    m_player->setPosition(target);
}

} // namespace sendra::playback
