#include "Shared/PlaybackLog.h"

namespace sendra::playback {

Q_LOGGING_CATEGORY(playbackLog, "sendra.playback", QtWarningMsg)

} // namespace sendra::playback
