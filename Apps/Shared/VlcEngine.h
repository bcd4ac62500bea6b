#pragma once

#include "Shared/PlaybackEngine.h"

#include <QPointer>
#include <QVideoFrame>

#include <memory>

struct libvlc_media_player_t;

namespace sendra::playback {

// The VLC engine on libvlc 3. Frames come through libvlc's video callbacks and go into a QVideoSink, so a
// QML VideoOutput shows them on any platform and controls can be drawn over the picture.
class VlcEngine final : public PlaybackEngine
{
    Q_OBJECT

public:
    // Extra arguments for the one libvlc instance of the process (tests pass "--aout=adummy"). Only the
    // arguments given before the first engine is built count.
    static void setInstanceArguments(const QStringList &arguments);

    explicit VlcEngine(QObject *parent = nullptr);
    ~VlcEngine() override;

    EngineKind kind() const override { return EngineKind::vlc; }
    void setVideoSink(QVideoSink *sink) override;
    void open(const QUrl &url, const QStringList &options) override;
    void stop() override;
    void play() override;
    void pause() override;
    bool isPlaying() const override;
    bool hasStartedOutput() const override;
    bool hasFailed() const override { return false; }
    double position() const override;
    void setPosition(double fraction) override;
    qint64 time() const override;
    qint64 length() const override;
    bool isSeekable() const override;
    void jump(double seconds) override;
    QList<VLCAudioTrack> audioTracks() const override;
    QList<VLCSubtitleTrack> subtitleTracks() const override;
    void selectAudioTrack(int id) override;
    void selectSubtitleTrack(int id) override;
    double displayAspectRatio() const override { return m_displayAspectRatio; }

    // The libvlc thread side: what the callbacks may touch.
    struct Bridge;

private:
    void handleEvent(int type, quint64 generation);
    void takeFrame(quint64 generation);
    void readDisplayAspectRatio();
    bool hasVideoTrack() const;

    libvlc_media_player_t *m_player = nullptr;
    std::unique_ptr<Bridge> m_bridge;
    QPointer<QVideoSink> m_sink;
    bool m_frameSeen = false;
    // "end reached" or an error was seen; libvlc follows both with a "stopped" that means nothing more.
    bool m_terminal = false;
    double m_displayAspectRatio = 0;
    quint64 m_lastSignature = 0;
};

} // namespace sendra::playback
