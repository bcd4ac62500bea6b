#pragma once

#include <QtGlobal>

namespace orrinth {

// The start-up time-out, the bound on reconnection attempts and the linear delay step of a player.
class PlaybackReconnectPolicy
{
public:
    // What an endless step waits, in seconds: the longest a timer holds (2^31 - 1 ms). Finite delays are kept
    // as given, however long.
    static constexpr double maximumDelay = 2147483.647;

    // Time-out at least 1 s, at least one attempt, step at least 0 (NaN gives the lower bound).
    PlaybackReconnectPolicy(double startupTimeout, qint64 maximumAttempts, double delayStep);

    double startupTimeout() const { return m_startupTimeout; }
    qint64 maximumAttempts() const { return m_maximumAttempts; }
    double delayStep() const { return m_delayStep; }

    bool canRetry(qint64 completedAttempts) const;
    // Grows with the attempt number (clamped to 1 ... maximumAttempts), in seconds; always finite.
    double delay(qint64 attempt) const;

    friend bool operator==(const PlaybackReconnectPolicy &, const PlaybackReconnectPolicy &) = default;

private:
    double m_startupTimeout;
    qint64 m_maximumAttempts;
    double m_delayStep;
};

} // namespace orrinth
