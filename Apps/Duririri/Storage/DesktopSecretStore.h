#pragma once

#include "Storage/SecretStore.h"

#include <QDBusConnection>

#include <functional>
#include <memory>
#include <optional>

namespace sendra {

// Whether a Secret Service runs on the bus, or can be started there by D-Bus activation.
QCoro::Task<bool> secretServiceReachable(QDBusConnection bus);

// The secret store of the desktop session: the keyring when a Secret Service is reachable, otherwise the
// owner-only file. Reachability is asked once, at the first operation. A keyring that refuses (locked and
// the user declined to unlock it) is an answer, not an absence: nothing then goes to the file. Items the
// file kept while no service ran are still read when the keyring has none; removals clear both places.
class DesktopSecretStore final : public SecretStore {
public:
    using Probe = std::function<QCoro::Task<bool>()>;

    DesktopSecretStore(std::shared_ptr<SecretStore> keyring, std::shared_ptr<SecretStore> file, Probe probe);

    // The keyring through qtkeychain, the file at FileSecretStore::defaultPath, the session bus.
    static std::shared_ptr<DesktopSecretStore> forService(const QString& service);

    QCoro::Task<SecretRead> read(QString account) override;
    QCoro::Task<SecretStatus> write(QString account, QByteArray data) override;
    QCoro::Task<SecretStatus> remove(QString account) override;

private:
    QCoro::Task<bool> keyringReachable();

    std::shared_ptr<SecretStore> m_keyring;
    std::shared_ptr<SecretStore> m_file;
    Probe m_probe;
    std::optional<bool> m_reachable;
};

} // namespace sendra
