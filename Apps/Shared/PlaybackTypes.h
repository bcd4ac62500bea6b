#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <chrono>

namespace sendra::playback {

// Where the player is, as the engines report it. Both engines speak this vocabulary; the native one only
// ever reports `error` (its failure travels the same road as a VLC error).
enum class PlayerState { stopped, opening, buffering, ended, error, playing, paused, esAdded };

enum class EngineKind { vlc, native };

struct PlaybackTimeline
{
    double position = 0; // fraction of the whole, 0 ... 1
    double elapsed = 0;  // seconds
    double duration = 0; // seconds, 0 while unknown
    bool isSeekable = false;
};

struct VLCAudioTrack
{
    int id = 0;
    QString name;
    friend bool operator==(const VLCAudioTrack &, const VLCAudioTrack &) = default;
};

// A negative id is the "off" entry.
struct VLCSubtitleTrack
{
    int id = 0;
    QString name;
    friend bool operator==(const VLCSubtitleTrack &, const VLCSubtitleTrack &) = default;
};

// What a window owner may do with a running playback: end it, with or without a last progress report.
class PlaybackStopping
{
public:
    virtual void stop(bool reportProgress) = 0;

protected:
    ~PlaybackStopping() = default;
};

// Every delay and period of the player in one place, so tests can run them scaled down.
struct PlaybackTimings
{
    using ms = std::chrono::milliseconds;

    ms frameMonitor{200};
    ms nativeTimeline{500};
    ms progressThrottle{5000};
    ms liveStartupWatchdog{30000};
    ms startupWatchdog{18000};
    ms fallbackWatchdog{10000};
    // After the first picture: neither a new picture nor a new time for this long means the stream froze.
    ms stallWatchdog{15000};
    ms liveReconnectStep{5000};
    ms reconnectStep{2000};
    ms controlsHide{3000};
    ms probeRequestTimeout{5000};
    ms probeResourceTimeout{6000};

    PlaybackTimings scaled(double factor) const;
};

} // namespace sendra::playback

Q_DECLARE_METATYPE(sendra::playback::PlaybackTimeline)
