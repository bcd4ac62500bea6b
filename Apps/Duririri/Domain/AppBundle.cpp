#include "Domain/AppBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace sendra {

namespace {
QString bundleDirFromArguments()
{
    if (!QCoreApplication::instance())
        return {};
    const QStringList arguments = QCoreApplication::arguments();
    const QString option = QStringLiteral("--bundle-dir");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == option && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (argument.startsWith(option + u'='))
            return argument.mid(option.size() + 1);
    }
    return {};
}

QString executableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}
} // namespace

QString AppBundle::directory()
{
    QString dir = bundleDirFromArguments();
    if (dir.isEmpty())
        dir = qEnvironmentVariable("SENDRA_BUNDLE_DIR");
    if (dir.isEmpty())
        dir = executableDir();
    return QDir(dir).absolutePath();
}

QJsonValue AppBundle::infoValue(const QString& key)
{
    QFile file(directory() + QStringLiteral("/Info.json"));
    if (!file.open(QIODevice::ReadOnly))
        return QJsonValue(QJsonValue::Undefined);
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return QJsonValue(QJsonValue::Undefined);
    return document.object().value(key);
}

QString AppBundle::resourcePath(const QString& relative)
{
    return directory() + QStringLiteral("/Resources/") + relative;
}

} // namespace sendra
