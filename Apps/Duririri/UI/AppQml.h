#pragma once

class QQmlEngine;

namespace sendra::ui {

// Makes `import Sendra.App` (and the player's `Sendra.Playback`) work in `engine`, and installs the artwork image
// provider. Call once per engine before loading any of the application's QML.
void registerAppQml(QQmlEngine& engine);

} // namespace sendra::ui
