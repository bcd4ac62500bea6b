#include "Storage/SettingsStore.h"

#include <QStringDecoder>

namespace sendra {

SettingsStore::SettingsStore(const QString& filePath, QString storageNamespace)
    : m_filePath(filePath)
    , m_namespace(std::move(storageNamespace))
    , m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
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
    m_settings->setValue(key(name), value);
    return flush();
}

bool SettingsStore::setFlag(const QString& name, bool value)
{
    m_settings->setValue(key(name), value);
    return flush();
}

bool SettingsStore::setData(const QString& name, const QByteArray& utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString value = decoder(utf8);
    if (decoder.hasError())
        return false;
    return setText(name, value);
}

bool SettingsStore::remove(const QString& name)
{
    m_settings->remove(key(name));
    return flush();
}

bool SettingsStore::flush()
{
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        return true;
    // QSettings keeps its first error for good and retries the unwritten change at every later sync; a
    // fresh object forgets both, so it shows what the disk holds and later writes are judged on their own.
    m_settings = std::make_unique<QSettings>(m_filePath, QSettings::IniFormat);
    return false;
}

} // namespace sendra
