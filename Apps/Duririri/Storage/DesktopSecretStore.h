#pragma once

#include "Storage/SecretStore.h"

#include <QDBusConnection>

#include <functional>
#include <memory>
#include <optional>

namespace sendra {

// Whether the name of the Secret Service has an owner on the bus right now.
QCoro::Task<bool> secretServiceRunning(QDBusConnection bus);
// Whether the bus can start a Secret Service on demand (D-Bus activation).
QCoro::Task<bool> secretServiceActivatable(QDBusConnection bus);

// The secret store of the desktop session: the keyring when a Secret Service runs on the session bus (or
// can be started there), otherwise the owner-only file. A keyring that answers, even with a refusal (locked,
// and the user declined to unlock it), is never replaced by the file; only a service that is not there is:
// none at the first operation, or one whose start failed and that is still not running after a failed
// operation. Items the file kept while no service ran are still read when the keyring has none; removals
// clear both places.
class DesktopSecretStore final : public SecretStore {
public:
    struct Presence {
        std::function<QCoro::Task<bool>()> running;
        std::function<QCoro::Task<bool>()> activatable;
    };

    DesktopSecretStore(std::shared_ptr<SecretStore> keyring, std::shared_ptr<SecretStore> file, Presence presence);

    // The keyring through qtkeychain, the file at FileSecretStore::defaultPath, the session bus.
    static std::shared_ptr<DesktopSecretStore> forService(const QString& service);

    QCoro::Task<SecretRead> read(QString account) override;
    QCoro::Task<SecretStatus> write(QString account, QByteArray data) override;
    QCoro::Task<SecretStatus> remove(QString account) override;

private:
    QCoro::Task<bool> keyringInUse();
    // After a keyring operation: false when it showed that no service is there after all.
    QCoro::Task<bool> keyringAnswered(SecretStatus status);

    std::shared_ptr<SecretStore> m_keyring;
    std::shared_ptr<SecretStore> m_file;
    Presence m_presence;
    std::optional<bool> m_keyringInUse;
};

} // namespace sendra
