#include "Domain/SettingsFile.h"

#include <QMutex>
#include <QStandardPaths>

namespace sendra {

namespace {
QMutex overrideMutex;
QString overridePath;
} // namespace

QString settingsFilePath()
{
    {
        QMutexLocker lock(&overrideMutex);
        if (!overridePath.isEmpty())
            return overridePath;
    }
    const QString fromEnvironment = qEnvironmentVariable("SENDRA_SETTINGS_FILE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    // GenericConfigLocation is $XDG_CONFIG_HOME (or ~/.config); it does not depend on the application name,
    // which is what lets both products find the same file.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Sendra/sendra.ini");
}

void setSettingsFilePathOverride(const QString& path)
{
    QMutexLocker lock(&overrideMutex);
    overridePath = path;
}

} // namespace sendra
