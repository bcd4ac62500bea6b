#include "OrrinthCore/PlaybackReconnectPolicy.h"

#include <algorithm>
#include <cmath>

namespace orrinth {

PlaybackReconnectPolicy::PlaybackReconnectPolicy(double startupTimeout, qint64 maximumAttempts, double delayStep)
    : m_startupTimeout(std::isnan(startupTimeout) ? 1 : std::max(startupTimeout, 1.0))
    , m_maximumAttempts(std::max<qint64>(maximumAttempts, 1))
    , m_delayStep(std::isnan(delayStep) ? 0 : std::max(delayStep, 0.0))
{
}

bool PlaybackReconnectPolicy::canRetry(qint64 completedAttempts) const
{
    return completedAttempts < m_maximumAttempts;
}

double PlaybackReconnectPolicy::delay(qint64 attempt) const
{
    const qint64 clamped = std::clamp<qint64>(attempt, 1, m_maximumAttempts);
    const double delay = m_delayStep * double(clamped);
    // Only an endless step gives a value no timer can take.
    return std::isfinite(delay) ? delay : maximumDelay;
}

} // namespace orrinth
