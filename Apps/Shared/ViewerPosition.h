#pragma once

#include <QtGlobal>

namespace sendra::playback {

// Where the viewer is in the media, from libvlc's time reports. With a length, libvlc's position is the share of the
// play time. Without one (a transport stream over HTTP) it is the share of the bytes the demuxer has read, ahead of
// the picture by all it buffers: on a short film most of the rest, and a film left at three quarters would count as
// finished. Nor is the play time after a jump always counted from the media's start. What holds is the play time
// since the jump and the byte rate (the buffered lead is the same at both ends of a stretch).
class ViewerPosition
{
public:
    // How long a stretch of play must be before its byte rate tells the media's length, and the largest step of
    // play time between two reports that still counts as playing on (more is a jump).
    static constexpr qint64 rateSpan = 1000;    // ms
    static constexpr qint64 playingStep = 3000; // ms

    // Another media: nothing learnt holds.
    void forget() { *this = ViewerPosition{}; }
    // The media opened again: its play time counts from its start. Its byte rate holds.
    void reopen();
    // The viewer was moved to `fraction` (a seek, the resume point): the next report's play time is where it was.
    void moveTo(double fraction);
    // Without a length, a jump of `seconds` from `from` lands where the byte rate says; nothing moves while the
    // rate is unknown.
    void jump(double from, double seconds);

    // One report: the media's length (ms, none when not above 0), the play time (ms) and libvlc's position in
    // (0, 1]. Gives where the viewer is.
    double report(qint64 length, qint64 time, double position);
    // Where the viewer is at those figures, learning nothing from them.
    double at(qint64 length, qint64 time, double position) const;

private:
    void follow(qint64 time, double position);

    // The play since the last jump.
    struct Stretch {
        double fraction = 0;    // where it began
        qint64 time = 0;        // the play time there (ms); -1 until the first report after a jump
        qint64 anchorTime = -1; // its first report: the play time (ms) and libvlc's position
        double anchorPosition = 0;
    };
    Stretch m_stretch;
    double m_rateLength = 0;   // ms: the media's length as its byte rate gives it; 0 while unknown
    qint64 m_lastTime = -1;    // the last report's play time (ms; -1: none since the media opened)
    double m_lastPosition = 0; // and where the viewer was then
};

// A seek or jump as the screen shows it until the engine reports from there. Paused, VLC reports no time until play
// resumes, and a report taken before the move may arrive after it: reports still nearer the old place than the new
// one are held back, unless the old place visibly plays on (the engine never moved).
class ShownMove
{
public:
    // How many reports of the old place playing on make the move count as never made.
    static constexpr int staleStepLimit = 8;

    // From `from` to `to` (ms of play time); `fraction` is `to` as a share of the whole.
    ShownMove(qint64 from, qint64 to, double fraction) : m_from(from), m_to(to), m_fraction(fraction) {}

    double fraction() const { return m_fraction; }
    // Whether the report of play time `time` (ms) still shows the place before the move. Once it gives false, the
    // move is over: the caller drops it.
    bool holdsBack(qint64 time);

private:
    qint64 m_from;
    qint64 m_to;
    double m_fraction;
    qint64 m_staleTime = -1;
    int m_staleSteps = 0;
};

} // namespace sendra::playback
