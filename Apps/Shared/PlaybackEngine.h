#pragma once

#include "Shared/PlaybackTypes.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

class QVideoSink;

namespace sendra::playback {

// What the playback controller needs of a media engine. Everything is called and signalled on the main
// thread; an engine marshals its own threads' events before they reach these signals, and drops events that
// belong to a media it has since stopped or replaced.
class PlaybackEngine : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual EngineKind kind() const = 0;

    // Where frames go. The sink may be destroyed at any time; frames then go nowhere.
    virtual void setVideoSink(QVideoSink *sink) = 0;

    // Replaces whatever was playing. Options are VLC media options; an engine that has none ignores them.
    virtual void open(const QUrl &url, const QStringList &options) = 0;
    // Stops and forgets the media; nothing of it is reported afterwards.
    virtual void stop() = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual bool isPlaying() const = 0;

    // A real frame reached the sink, or sound plays from a media without any video track.
    virtual bool hasStartedOutput() const = 0;
    // The media failed for good (latched until the next open).
    virtual bool hasFailed() const = 0;

    // Fraction played; NaN while unknown.
    virtual double position() const = 0;
    virtual void setPosition(double fraction) = 0;
    // Milliseconds, negative while unknown.
    virtual qint64 time() const = 0;
    virtual qint64 length() const = 0;
    virtual bool isSeekable() const = 0;
    // A relative jump, in seconds.
    virtual void jump(double seconds) = 0;

    virtual QList<VLCAudioTrack> audioTracks() const = 0;
    virtual QList<VLCSubtitleTrack> subtitleTracks() const = 0;
    virtual void selectAudioTrack(int id) = 0;
    virtual void selectSubtitleTrack(int id) = 0;
    // Width over height of the picture as it is meant to be seen (non-square pixels applied); 0 while
    // unknown, when the frames' own shape is the one to use.
    virtual double displayAspectRatio() const { return 0; }

signals:
    void stateChanged(sendra::playback::PlayerState state);
    // The play time moved; read position(), time(), length() and isSeekable() for the values.
    void timeChanged();
    // A picture other than the one before reached the sink (a starved VLC keeps showing its last picture
    // again, which is no sign of life).
    void frameShown();
    void displayAspectRatioChanged();
};

} // namespace sendra::playback
