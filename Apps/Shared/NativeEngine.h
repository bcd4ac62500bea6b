#pragma once

#include "Shared/PlaybackEngine.h"

#include <QPointer>

class QMediaPlayer;

namespace sendra::playback {

// The fallback engine: Qt Multimedia's QMediaPlayer on its FFmpeg backend (QT_MEDIA_BACKEND=ffmpeg must be
// set before the application object exists; the GStreamer backend cannot open http addresses).
class NativeEngine final : public PlaybackEngine
{
    Q_OBJECT

public:
    explicit NativeEngine(QObject *parent = nullptr);
    ~NativeEngine() override;

    EngineKind kind() const override { return EngineKind::native; }
    void setVideoSink(QVideoSink *sink) override;
    void open(const QUrl &url, const QStringList &options) override;
    void stop() override;
    void play() override;
    void pause() override;
    bool isPlaying() const override;
    bool hasStartedOutput() const override;
    bool hasFailed() const override { return m_failed; }
    double position() const override;
    void setPosition(double fraction) override;
    qint64 time() const override;
    qint64 length() const override;
    bool isSeekable() const override;
    void jump(double seconds) override;
    QList<VLCAudioTrack> audioTracks() const override { return {}; }
    QList<VLCSubtitleTrack> subtitleTracks() const override { return {}; }
    void selectAudioTrack(int) override {}
    void selectSubtitleTrack(int) override {}

    // Where the next opening starts, as a fraction; applied once its length is known, then forgotten.
    void setStartPosition(double fraction);

private:
    // Player, audio output and frame relay of one opening. A new opening builds a new one, so nothing the old
    // media still had in flight (an error, a frame) can reach the new one.
    QObject *m_opening = nullptr;
    QMediaPlayer *m_player = nullptr;
    QPointer<QVideoSink> m_sink;
    bool m_failed = false;
    bool m_frameSeen = false;
    double m_startFraction = 0;
};

} // namespace sendra::playback
