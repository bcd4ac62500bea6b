#pragma once

#include <QString>

namespace sendra {

// The one settings file both products share (INI): $XDG_CONFIG_HOME/Sendra/sendra.ini. Every key in it is
// "<storage namespace>.<name>" except the interface-language key, so the products never collide.
// SENDRA_SETTINGS_FILE in the environment, or setSettingsFilePathOverride, points it elsewhere (tests).
QString settingsFilePath();
// An empty path removes the override.
void setSettingsFilePathOverride(const QString& path);

} // namespace sendra
