#include "Domain/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    return defaultSettingsFilePath();
}

QString defaultSettingsFilePath()
{
    // GenericConfigLocation is $XDG_CONFIG_HOME (or ~/.config); it does not depend on the application name,
    // which is what lets both products find the same file.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Sendra/sendra.ini");
}

bool makeSettingsFileOwnerOnly(const QString& path)
{
    constexpr QFileDevice::Permissions folderMode =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    constexpr QFileDevice::Permissions fileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

    // Qt adds the "user" bits of whoever runs this; only owner, group and others are the file's mode.
    const auto modeOf = [](const QString& name) { return QFile::permissions(name) & ~QFileDevice::Permissions(0x0700); };
    const QFileInfo file(path);
    if (file.exists() && !file.isFile())
        return false;
    const QString folder = file.absolutePath();
    const bool ownFolder = file.absoluteFilePath() == QFileInfo(defaultSettingsFilePath()).absoluteFilePath();
    if (!QFileInfo::exists(folder)) {
        // Created 0700 from the start (mkpath would follow the umask); missing parents are ordinary folders.
        if (!QDir().mkpath(QFileInfo(folder).absolutePath()) || !QDir().mkdir(folder, folderMode))
            return false;
    } else if (ownFolder && modeOf(folder) != folderMode && !QFile::setPermissions(folder, folderMode)) {
        return false;
    }
    if (!file.exists()) {
        QFile created(path);
        if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly, fileMode) && !created.exists())
            return false;
    }
    // Qt writes the file through a temporary one that takes the permissions of the file it replaces.
    return modeOf(path) == fileMode || QFile::setPermissions(path, fileMode);
}

void setSettingsFilePathOverride(const QString& path)
{
    QMutexLocker lock(&overrideMutex);
    overridePath = path;
}

} // namespace sendra
