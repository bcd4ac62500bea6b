#pragma once

#include <QString>

namespace sendra {

// The one settings file both products share (INI): $XDG_CONFIG_HOME/Sendra/sendra.ini. Every key in it is
// "<storage namespace>.<name>" except the interface-language key, so the products never collide.
// SENDRA_SETTINGS_FILE in the environment, or setSettingsFilePathOverride, points it elsewhere (tests).
QString settingsFilePath();
// An empty path removes the override.
void setSettingsFilePathOverride(const QString& path);

// $XDG_CONFIG_HOME/Sendra/sendra.ini, whatever overrides say.
QString defaultSettingsFilePath();

// The file holds playlist addresses with their credentials (in resume points), so only its owner may read it:
// creates the file 0600 when it is missing and sets it to 0600 when it is not; its folder is created 0700, and an
// existing folder is set to 0700 when it is the default one (an override may point into a folder that is not
// ours alone). False when either could not be done.
bool makeSettingsFileOwnerOnly(const QString& path);

} // namespace sendra
