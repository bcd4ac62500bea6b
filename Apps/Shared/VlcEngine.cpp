#include "Shared/VlcEngine.h"

#include <QVideoFrameFormat>
#include <QVideoSink>

#include <vlc/vlc.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace sendra::playback {

namespace {

QStringList &instanceArguments()
{
    static QStringList arguments;
    return arguments;
}

void discardLog(void *, int, const libvlc_log_t *, const char *, va_list) {}

// One instance per process: creating it loads the plugins, which is slow and not meant to be repeated.
libvlc_instance_t *sharedInstance()
{
    static libvlc_instance_t *const instance = [] {
        QList<QByteArray> storage{"--no-video-title-show", "--quiet"};
        for (const QString &argument : std::as_const(instanceArguments()))
            storage << argument.toUtf8();
        std::vector<const char *> argv;
        for (const QByteArray &argument : std::as_const(storage))
            argv.push_back(argument.constData());
        libvlc_instance_t *created = libvlc_new(int(argv.size()), argv.data());
        if (created)
            libvlc_log_set(created, discardLog, nullptr);
        return created;
    }();
    return instance;
}

constexpr libvlc_event_e watchedEvents[] = {
    libvlc_MediaPlayerOpening,     libvlc_MediaPlayerBuffering,   libvlc_MediaPlayerPlaying,
    libvlc_MediaPlayerPaused,      libvlc_MediaPlayerStopped,     libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerESAdded,
};

template <typename Track>
QList<Track> readTracks(libvlc_track_description_t *list, bool keepNegative, const QString &negativeName)
{
    QList<Track> tracks;
    for (auto *entry = list; entry; entry = entry->p_next) {
        if (entry->i_id < 0 && !keepNegative)
            continue;
        const QString name = entry->i_id < 0 ? negativeName : QString::fromUtf8(entry->psz_name);
        tracks.append(Track{entry->i_id, name});
    }
    if (list)
        libvlc_track_description_list_release(list);
    return tracks;
}

// A cheap fingerprint of a picture: 512 bytes spread over it, FNV-1a. Two different pictures of a moving
// stream differ somewhere in those; the same picture shown again never does.
quint64 pictureSignature(QVideoFrame frame)
{
    if (!frame.map(QVideoFrame::ReadOnly))
        return 0;
    const uchar *bits = frame.bits(0);
    const qsizetype size = frame.mappedBytes(0);
    quint64 hash = 1469598103934665603ull;
    constexpr qsizetype samples = 512;
    for (qsizetype i = 0; bits && size > 0 && i < samples; ++i) {
        hash ^= bits[(size - 1) * i / (samples - 1)];
        hash *= 1099511628211ull;
    }
    frame.unmap();
    return hash;
}

} // namespace

// Shared with libvlc's threads. Those threads only read `generation`, fill frames and post to the engine;
// they never call back into libvlc and never wait for the main thread.
struct VlcEngine::Bridge
{
    VlcEngine *engine = nullptr;
    // Only changed while no media plays, so every callback of one media reads the same value.
    std::atomic<quint64> generation{0};

    std::mutex frameMutex;
    QVideoFrameFormat format;
    QVideoFrame pending; // being decoded into
    // The newest decoded frame the main thread has not taken yet. One slot, not a queue: a busy main thread
    // then costs dropped frames, never memory (1080p frames are 8 MB each).
    QVideoFrame latest;

    static void onEvent(const libvlc_event_t *event, void *opaque)
    {
        auto *bridge = static_cast<Bridge *>(opaque);
        VlcEngine *engine = bridge->engine;
        const int type = event->type;
        const quint64 generation = bridge->generation.load();
        QMetaObject::invokeMethod(
            engine, [engine, type, generation] { engine->handleEvent(type, generation); }, Qt::QueuedConnection);
    }

    static unsigned setup(void **opaque, char *chroma, unsigned *width, unsigned *height, unsigned *pitches,
                          unsigned *lines)
    {
        auto *bridge = static_cast<Bridge *>(*opaque);
        std::memcpy(chroma, "RV32", 4);
        const QVideoFrameFormat format(QSize(int(*width), int(*height)), QVideoFrameFormat::Format_BGRX8888);
        // Let Qt choose the row length, so VLC decodes straight into the frames the sink receives.
        QVideoFrame probe(format);
        if (!probe.map(QVideoFrame::WriteOnly))
            return 0;
        pitches[0] = unsigned(probe.bytesPerLine(0));
        lines[0] = *height;
        probe.unmap();
        const std::lock_guard lock(bridge->frameMutex);
        bridge->format = format;
        return 1;
    }

    static void cleanup(void *) {}

    static void *lock(void *opaque, void **planes)
    {
        auto *bridge = static_cast<Bridge *>(opaque);
        const std::lock_guard guard(bridge->frameMutex);
        bridge->pending = QVideoFrame(bridge->format);
        bridge->pending.map(QVideoFrame::WriteOnly);
        planes[0] = bridge->pending.bits(0);
        return nullptr;
    }

    static void unlock(void *opaque, void *, void *const *)
    {
        auto *bridge = static_cast<Bridge *>(opaque);
        const std::lock_guard guard(bridge->frameMutex);
        bridge->pending.unmap();
    }

    static void display(void *opaque, void *)
    {
        auto *bridge = static_cast<Bridge *>(opaque);
        bool slotWasEmpty = false;
        {
            const std::lock_guard guard(bridge->frameMutex);
            slotWasEmpty = !bridge->latest.isValid();
            bridge->latest = std::exchange(bridge->pending, QVideoFrame());
        }
        // A notification already on its way will pick up this newer frame.
        if (!slotWasEmpty)
            return;
        VlcEngine *engine = bridge->engine;
        const quint64 generation = bridge->generation.load();
        QMetaObject::invokeMethod(
            engine, [engine, generation] { engine->takeFrame(generation); }, Qt::QueuedConnection);
    }

    QVideoFrame take()
    {
        const std::lock_guard guard(frameMutex);
        return std::exchange(latest, QVideoFrame());
    }
};

void VlcEngine::setInstanceArguments(const QStringList &arguments)
{
    instanceArguments() = arguments;
}

VlcEngine::VlcEngine(QObject *parent)
    : PlaybackEngine(parent)
    , m_bridge(std::make_unique<Bridge>())
{
    m_bridge->engine = this;
    libvlc_instance_t *instance = sharedInstance();
    m_player = instance ? libvlc_media_player_new(instance) : nullptr;
    if (!m_player)
        return;
    libvlc_video_set_callbacks(m_player, &Bridge::lock, &Bridge::unlock, &Bridge::display, m_bridge.get());
    libvlc_video_set_format_callbacks(m_player, &Bridge::setup, &Bridge::cleanup);
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(m_player);
    for (const libvlc_event_e type : watchedEvents)
        libvlc_event_attach(events, type, &Bridge::onEvent, m_bridge.get());
}

VlcEngine::~VlcEngine()
{
    if (!m_player)
        return;
    // Detach first: the stop below reports "stopped" synchronously, and nobody is left to hear it.
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(m_player);
    for (const libvlc_event_e type : watchedEvents)
        libvlc_event_detach(events, type, &Bridge::onEvent, m_bridge.get());
    libvlc_media_player_stop(m_player);
    libvlc_media_player_release(m_player);
}

void VlcEngine::setVideoSink(QVideoSink *sink)
{
    m_sink = sink;
}

void VlcEngine::open(const QUrl &url, const QStringList &options)
{
    stop();
    if (!m_player)
        return;
    libvlc_media_t *media =
        libvlc_media_new_location(sharedInstance(), url.toString(QUrl::FullyEncoded).toUtf8().constData());
    if (!media)
        return;
    for (const QString &option : options)
        libvlc_media_add_option(media, option.toUtf8().constData());
    libvlc_media_player_set_media(m_player, media);
    libvlc_media_release(media);
    libvlc_media_player_play(m_player);
}

void VlcEngine::stop()
{
    if (!m_player)
        return;
    // libvlc 3 stops synchronously: once this returns no callback of the old media runs any more, so the
    // new generation cannot be read by one of them.
    libvlc_media_player_stop(m_player);
    libvlc_media_player_set_media(m_player, nullptr);
    m_bridge->generation.fetch_add(1);
    m_bridge->take();
    m_frameSeen = false;
    m_terminal = false;
    m_displayAspectRatio = 0;
    m_lastSignature = 0;
}

void VlcEngine::play()
{
    if (m_player)
        libvlc_media_player_play(m_player);
}

void VlcEngine::pause()
{
    if (m_player)
        libvlc_media_player_set_pause(m_player, 1);
}

bool VlcEngine::isPlaying() const
{
    return m_player && libvlc_media_player_is_playing(m_player);
}

bool VlcEngine::hasVideoTrack() const
{
    return !readTracks<VLCAudioTrack>(libvlc_video_get_track_description(m_player), false, {}).isEmpty();
}

bool VlcEngine::hasStartedOutput() const
{
    if (m_frameSeen)
        return true;
    // A radio stream never shows a frame; it has started once its sound plays.
    return m_player && isPlaying() && time() > 0 && !audioTracks().isEmpty() && !hasVideoTrack();
}

double VlcEngine::position() const
{
    const float position = m_player ? libvlc_media_player_get_position(m_player) : -1.0f;
    return position < 0 ? std::nan("") : double(position);
}

void VlcEngine::setPosition(double fraction)
{
    if (m_player)
        libvlc_media_player_set_position(m_player, float(fraction));
}

qint64 VlcEngine::time() const
{
    return m_player ? libvlc_media_player_get_time(m_player) : -1;
}

qint64 VlcEngine::length() const
{
    return m_player ? libvlc_media_player_get_length(m_player) : -1;
}

bool VlcEngine::isSeekable() const
{
    return m_player && libvlc_media_player_is_seekable(m_player);
}

void VlcEngine::jump(double seconds)
{
    const qint64 now = time();
    if (now < 0 || !std::isfinite(seconds))
        return;
    libvlc_media_player_set_time(m_player, std::max<qint64>(0, now + qint64(seconds * 1000)));
}

QList<VLCAudioTrack> VlcEngine::audioTracks() const
{
    if (!m_player)
        return {};
    return readTracks<VLCAudioTrack>(libvlc_audio_get_track_description(m_player), false, {});
}

QList<VLCSubtitleTrack> VlcEngine::subtitleTracks() const
{
    if (!m_player)
        return {};
    // The off entry reads the same in both languages.
    return readTracks<VLCSubtitleTrack>(libvlc_video_get_spu_description(m_player), true,
                                        QStringLiteral("Desactivados"));
}

void VlcEngine::selectAudioTrack(int id)
{
    if (m_player)
        libvlc_audio_set_track(m_player, id);
}

void VlcEngine::selectSubtitleTrack(int id)
{
    if (m_player)
        libvlc_video_set_spu(m_player, id);
}

void VlcEngine::handleEvent(int type, quint64 generation)
{
    if (generation != m_bridge->generation.load())
        return;
    switch (type) {
    case libvlc_MediaPlayerOpening:
        emit stateChanged(PlayerState::opening);
        break;
    case libvlc_MediaPlayerBuffering:
        emit stateChanged(PlayerState::buffering);
        break;
    case libvlc_MediaPlayerPlaying:
        emit stateChanged(PlayerState::playing);
        break;
    case libvlc_MediaPlayerPaused:
        emit stateChanged(PlayerState::paused);
        break;
    case libvlc_MediaPlayerStopped:
        if (!m_terminal)
            emit stateChanged(PlayerState::stopped);
        break;
    case libvlc_MediaPlayerEndReached:
        m_terminal = true;
        emit stateChanged(PlayerState::ended);
        break;
    case libvlc_MediaPlayerEncounteredError:
        m_terminal = true;
        emit stateChanged(PlayerState::error);
        break;
    case libvlc_MediaPlayerTimeChanged:
        emit timeChanged();
        break;
    case libvlc_MediaPlayerESAdded:
        emit stateChanged(PlayerState::esAdded);
        break;
    default:
        break;
    }
}

void VlcEngine::takeFrame(quint64 generation)
{
    if (generation != m_bridge->generation.load())
        return;
    const QVideoFrame frame = m_bridge->take();
    if (!frame.isValid())
        return;
    if (!m_frameSeen) {
        m_frameSeen = true;
        readDisplayAspectRatio();
    }
    if (m_sink)
        m_sink->setVideoFrame(frame);
    const quint64 signature = pictureSignature(frame);
    if (signature != m_lastSignature) {
        m_lastSignature = signature;
        emit frameShown();
    }
}

void VlcEngine::readDisplayAspectRatio()
{
    // Here on the main thread, never in a libvlc callback: the track list takes locks a decoder thread holds.
    double aspect = 0;
    if (libvlc_media_t *media = libvlc_media_player_get_media(m_player)) {
        libvlc_media_track_t **tracks = nullptr;
        const unsigned count = libvlc_media_tracks_get(media, &tracks);
        for (unsigned i = 0; i < count && aspect == 0; ++i) {
            const libvlc_media_track_t *track = tracks[i];
            if (track->i_type != libvlc_track_video || !track->video)
                continue;
            const libvlc_video_track_t &video = *track->video;
            if (video.i_width == 0 || video.i_height == 0)
                continue;
            const bool squareUnknown = video.i_sar_num == 0 || video.i_sar_den == 0;
            const double sampleAspect = squareUnknown ? 1.0 : double(video.i_sar_num) / double(video.i_sar_den);
            aspect = double(video.i_width) * sampleAspect / double(video.i_height);
        }
        if (tracks)
            libvlc_media_tracks_release(tracks, count);
        libvlc_media_release(media);
    }
    if (!std::isfinite(aspect) || aspect <= 0 || aspect == m_displayAspectRatio)
        return;
    m_displayAspectRatio = aspect;
    emit displayAspectRatioChanged();
}

} // namespace sendra::playback
