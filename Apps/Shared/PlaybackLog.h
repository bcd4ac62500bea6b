#pragma once

#include <QLoggingCategory>

namespace sendra::playback {

// Messages of the player and its engines.
// Silent below warning unless QT_LOGGING_RULES turns it up (for example "sendra.playback.debug=true"). Never log an
// address or a credential here: server and stream addresses carry user names and passwords.
Q_DECLARE_LOGGING_CATEGORY(playbackLog)

} // namespace sendra::playback
