#include "Shared/PlaybackTypes.h"

#include <algorithm>
#include <cmath>

namespace sendra::playback {

PlaybackTimings PlaybackTimings::scaled(double factor) const
{
    const auto scale = [factor](ms value) {
        const double scaledValue = std::isfinite(factor) && factor > 0 ? double(value.count()) * factor : 0.0;
        return ms(std::max<qint64>(1, qint64(std::llround(scaledValue))));
    };
    PlaybackTimings t = *this;
    for (ms *value : {&t.frameMonitor, &t.nativeTimeline, &t.progressThrottle, &t.liveStartupWatchdog,
                      &t.startupWatchdog, &t.fallbackWatchdog, &t.stallWatchdog, &t.liveReconnectStep, &t.reconnectStep,
                      &t.controlsHide, &t.probeRequestTimeout, &t.probeResourceTimeout})
        *value = scale(*value);
    return t;
}

} // namespace sendra::playback
