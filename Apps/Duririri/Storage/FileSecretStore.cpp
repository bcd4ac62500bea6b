#include "Storage/FileSecretStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace sendra {

namespace {

constexpr QFileDevice::Permissions ownerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions ownerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool makeOwnerOnlyFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    return QFile::setPermissions(folder, ownerOnlyFolder);
}

} // namespace

FileSecretStore::FileSecretStore(QString path)
    : m_path(std::move(path))
{
}

QString FileSecretStore::defaultPath(const QString& service)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data + QStringLiteral("/Sendra/secrets/") + service + QStringLiteral(".json");
}

FileSecretStore::Contents FileSecretStore::load(QJsonObject& items) const
{
    QFile file(m_path);
    if (!file.exists())
        return Contents::absent;
    if (!file.open(QIODevice::ReadOnly))
        return Contents::unreadable;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Contents::unreadable;
    items = document.object();
    return Contents::readable;
}

bool FileSecretStore::save(const QJsonObject& items) const
{
    const QFileInfo target(m_path);
    if (!makeOwnerOnlyFolder(target.absolutePath()))
        return false;
    // A temporary file is created 0600 from the start, so the secret is never readable by others, and the
    // rename replaces the old file in one step: a failed write leaves the previous file whole.
    QTemporaryFile temporary(target.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return false;
    const QByteArray bytes = QJsonDocument(items).toJson(QJsonDocument::Compact);
    if (temporary.write(bytes) != bytes.size() || !temporary.flush() || ::fsync(temporary.handle()) != 0)
        return false;
    if (!temporary.setPermissions(ownerOnlyFile))
        return false;
    temporary.close();
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData())
        != 0)
        return false;
    temporary.setAutoRemove(false);
    return true;
}

QCoro::Task<SecretRead> FileSecretStore::read(QString account)
{
    QJsonObject items;
    switch (load(items)) {
    case Contents::absent:
        co_return SecretRead{SecretStatus::notFound, {}};
    case Contents::unreadable:
        co_return SecretRead{SecretStatus::failed, {}};
    case Contents::readable:
        break;
    }
    const QJsonValue value = items.value(account);
    if (value.isUndefined())
        co_return SecretRead{SecretStatus::notFound, {}};
    if (!value.isString())
        co_return SecretRead{SecretStatus::failed, {}};
    auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        co_return SecretRead{SecretStatus::failed, {}};
    co_return SecretRead{SecretStatus::ok, *decoded};
}

QCoro::Task<SecretStatus> FileSecretStore::write(QString account, QByteArray data)
{
    QJsonObject items;
    // A file we cannot read may still hold secrets (of the other product, or written by a later version): it
    // is never replaced, the write fails instead.
    if (load(items) == Contents::unreadable)
        co_return SecretStatus::failed;
    items.insert(account, QString::fromLatin1(data.toBase64()));
    co_return save(items) ? SecretStatus::ok : SecretStatus::failed;
}

QCoro::Task<SecretStatus> FileSecretStore::remove(QString account)
{
    QJsonObject items;
    switch (load(items)) {
    case Contents::absent:
        co_return SecretStatus::ok;
    case Contents::unreadable:
        // Deleting it would take every other secret it may hold with it.
        co_return SecretStatus::failed;
    case Contents::readable:
        break;
    }
    if (!items.contains(account))
        co_return SecretStatus::ok;
    items.remove(account);
    if (items.isEmpty())
        co_return QFile::remove(m_path) ? SecretStatus::ok : SecretStatus::failed;
    co_return save(items) ? SecretStatus::ok : SecretStatus::failed;
}

} // namespace sendra
