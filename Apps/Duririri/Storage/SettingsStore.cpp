#include "Storage/SettingsStore.h"

#include "Domain/SettingsFile.h"

#include <QFile>
#include <QStringDecoder>

namespace sendra {

SettingsStore::SettingsStore(const QString& filePath, QString storageNamespace)
    : m_filePath(filePath)
    , m_namespace(std::move(storageNamespace))
    , m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    // A file left readable by an earlier version is closed at once; a missing one is made at the first write.
    if (QFile::exists(filePath))
        makeSettingsFileOwnerOnly(filePath);
}

QString SettingsStore::key(const QString& name) const
{
    return m_namespace + u'.' + name;
}

std::optional<QString> SettingsStore::text(const QString& name) const
{
    const QVariant value = m_settings->value(key(name));
    // The INI format reads a text with commas as a list: such a value was not written by us.
    if (!value.isValid() || value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<bool> SettingsStore::flag(const QString& name) const
{
    const QVariant value = m_settings->value(key(name));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    if (value.toString() == QLatin1String("true"))
        return true;
    if (value.toString() == QLatin1String("false"))
        return false;
    return std::nullopt;
}

std::optional<QByteArray> SettingsStore::data(const QString& name) const
{
    const std::optional<QString> stored = text(name);
    if (!stored)
        return std::nullopt;
    return stored->toUtf8();
}

bool SettingsStore::setText(const QString& name, const QString& value)
{
    return put(name, value);
}

bool SettingsStore::setFlag(const QString& name, bool value)
{
    return put(name, value);
}

bool SettingsStore::setData(const QString& name, const QByteArray& utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString value = decoder(utf8);
    if (decoder.hasError())
        return false;
    return put(name, value);
}

bool SettingsStore::remove(const QString& name)
{
    return put(name, std::nullopt);
}

bool SettingsStore::put(const QString& name, const std::optional<QVariant>& value)
{
    const QString fullKey = key(name);
    const QVariant previous = m_settings->value(fullKey);
    const auto assign = [&](const QVariant& v) {
        if (v.isValid())
            m_settings->setValue(fullKey, v);
        else
            m_settings->remove(fullKey);
    };
    assign(value.value_or(QVariant()));
    // Again before every write: the file may have been replaced or loosened since.
    makeSettingsFileOwnerOnly(m_filePath);
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        return true;
    // Qt keeps an unwritten change in a cache shared by every QSettings of the file, and keeps the first
    // error for good: put the old value back so what is read stays what the disk holds, and start afresh
    // so later writes are judged on their own.
    assign(previous);
    m_settings = std::make_unique<QSettings>(m_filePath, QSettings::IniFormat);
    return false;
}

} // namespace sendra
