#pragma once

#include "Storage/SecretStore.h"

#include <QJsonObject>

#include <optional>

namespace sendra {

// Secrets of one service in a file only the user can read (mode 0600, in a 0700 folder): the fallback for
// a session without a Secret Service. The file is a JSON object of account -> Base64 data, replaced
// atomically on every write; it disappears when its last item is removed. A file that is there but cannot be
// read (or parsed) is never replaced nor removed: writes and removals fail and leave it as it is.
class FileSecretStore final : public SecretStore {
public:
    explicit FileSecretStore(QString path);

    // $XDG_DATA_HOME/Sendra/secrets/<service>.json
    static QString defaultPath(const QString& service);
    QString path() const { return m_path; }

    QCoro::Task<SecretRead> read(QString account) override;
    QCoro::Task<SecretStatus> write(QString account, QByteArray data) override;
    QCoro::Task<SecretStatus> remove(QString account) override;

private:
    enum class Contents { absent, readable, unreadable };
    Contents load(QJsonObject& items) const;
    bool save(const QJsonObject& items) const;

    QString m_path;
};

} // namespace sendra
