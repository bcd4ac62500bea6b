#pragma once

class QQmlEngine;

namespace sendra::playback {

// Makes `import Sendra.Playback` work in `engine` (the player screen, its session type and the L10n
// singleton). Call before loading any QML that imports it.
void registerPlaybackQml(QQmlEngine &engine);

} // namespace sendra::playback
