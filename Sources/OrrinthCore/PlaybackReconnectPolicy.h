#pragma once

#include <QtGlobal>

namespace orrinth {

// The start-up time-out, the bound on reconnection attempts and the linear delay step of a player.
class PlaybackReconnectPolicy
{
public:
    // No player waits longer than this between two attempts; it keeps every delay a finite, timer-sized value.
    static constexpr double maximumDelay = 3600;

    // Time-out at least 1 s, at least one attempt, step at least 0 (NaN gives the lower bound).
    PlaybackReconnectPolicy(double startupTimeout, qint64 maximumAttempts, double delayStep);

    double startupTimeout() const { return m_startupTimeout; }
    qint64 maximumAttempts() const { return m_maximumAttempts; }
    double delayStep() const { return m_delayStep; }

    bool canRetry(qint64 completedAttempts) const;
    // Grows with the attempt number (clamped to 1 ... maximumAttempts), in seconds.
    double delay(qint64 attempt) const;

    friend bool operator==(const PlaybackReconnectPolicy &, const PlaybackReconnectPolicy &) = default;

private:
    double m_startupTimeout;
    qint64 m_maximumAttempts;
    double m_delayStep;
};

} // namespace orrinth
