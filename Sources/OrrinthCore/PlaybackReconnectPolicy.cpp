#include "OrrinthCore/PlaybackReconnectPolicy.h"

#include <algorithm>
#include <cmath>

namespace orrinth {

PlaybackReconnectPolicy::PlaybackReconnectPolicy(double startupTimeout, qint64 maximumAttempts, double delayStep)
    : m_startupTimeout(std::isnan(startupTimeout) ? 1 : std::max(startupTimeout, 1.0))
    , m_maximumAttempts(std::max<qint64>(maximumAttempts, 1))
    , m_delayStep(std::isnan(delayStep) ? 0 : std::clamp(delayStep, 0.0, maximumDelay))
{
}

bool PlaybackReconnectPolicy::canRetry(qint64 completedAttempts) const
{
    return completedAttempts < m_maximumAttempts;
}

double PlaybackReconnectPolicy::delay(qint64 attempt) const
{
    const qint64 clamped = std::clamp<qint64>(attempt, 1, m_maximumAttempts);
    return std::min(m_delayStep * double(clamped), maximumDelay);
}

} // namespace orrinth
