#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <memory>
#include <optional>

namespace sendra {

// The user-defaults store of one product over the settings file both products share (INI). Every key is
// "<namespace>.<name>", so the products never read each other's values. Every write goes to disk at once;
// a write answers whether it reached the disk. JSON is kept as UTF-8 text so the file stays readable.
class SettingsStore {
public:
    SettingsStore(const QString& filePath, QString storageNamespace);

    QString key(const QString& name) const;

    std::optional<QString> text(const QString& name) const;
    // Only the texts "true" and "false" are flags; anything else reads as no value.
    std::optional<bool> flag(const QString& name) const;
    // The UTF-8 bytes of a stored text (JSON documents).
    std::optional<QByteArray> data(const QString& name) const;

    bool setText(const QString& name, const QString& value);
    bool setFlag(const QString& name, bool value);
    bool setData(const QString& name, const QByteArray& utf8); // false as well when the bytes are not UTF-8
    bool remove(const QString& name);

private:
    bool put(const QString& name, const std::optional<QVariant>& value);

    QString m_filePath;
    QString m_namespace;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace sendra
