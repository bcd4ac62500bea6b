#include "Shared/ViewerPosition.h"

#include <algorithm>
#include <cmath>

namespace sendra::playback {

void ViewerPosition::reopen()
{
    m_stretch = Stretch{};
    m_lastTime = -1;
}

void ViewerPosition::moveTo(double fraction)
{
    m_stretch = Stretch{fraction, -1};
}

void ViewerPosition::jump(double from, double seconds)
{
    if (m_rateLength > 0 && std::isfinite(seconds))
        moveTo(std::clamp(from + seconds * 1000.0 / m_rateLength, 0.0, 1.0));
}

double ViewerPosition::report(qint64 length, qint64 time, double position)
{
    if (length <= 0)
        follow(time, position);
    m_lastTime = time;
    m_lastPosition = at(length, time, position);
    return m_lastPosition;
}

void ViewerPosition::follow(qint64 time, double position)
{
    Stretch& stretch = m_stretch;
    // A jump nobody asked for (the play time went back, or leapt): the viewer goes on from where they were.
    if (stretch.time >= 0 && m_lastTime >= 0 && (time < m_lastTime || time - m_lastTime > playingStep))
        stretch = Stretch{m_lastPosition, time};
    if (stretch.time < 0)
        stretch.time = time;
    if (stretch.anchorTime < 0) {
        stretch.anchorTime = time;
        stretch.anchorPosition = position;
        return;
    }
    // Once all is read the share stops growing while the picture goes on: the rate stays the one before.
    const qint64 span = time - stretch.anchorTime;
    const double read = position - stretch.anchorPosition;
    if (position < 1.0 && span >= rateSpan && read > 0)
        m_rateLength = double(span) / read;
}

double ViewerPosition::at(qint64 length, qint64 time, double position) const
{
    if (length > 0)
        return position;
    const Stretch& stretch = m_stretch;
    if (stretch.time < 0 || time < stretch.time || m_rateLength <= 0)
        return stretch.fraction;
    const double played = double(time - stretch.time) / m_rateLength;
    // Never past what was read: the picture cannot be.
    return std::clamp(stretch.fraction + played, 0.0, std::max(position, stretch.fraction));
}

bool ShownMove::holdsBack(qint64 time)
{
    if (std::abs(time - m_to) <= std::abs(time - m_from))
        return false;
    // A paused engine repeats its old time; only the old place playing on counts against the move.
    if (time != m_staleTime) {
        m_staleTime = time;
        ++m_staleSteps;
    }
    return m_staleSteps <= staleStepLimit;
}

} // namespace sendra::playback
