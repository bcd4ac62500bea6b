#pragma once

#include "Storage/SecretStore.h"

#include <QHash>

#include <chrono>
#include <memory>
#include <optional>

namespace sendra {

// A secret store that lives in memory, for tests of everything above the keychain. It can answer late and
// fail on purpose, so that ordering and failure handling can be tested without a keyring.
class MemorySecretStore final : public SecretStore {
public:
    MemorySecretStore();

    QCoro::Task<SecretRead> read(QString account) override;
    QCoro::Task<SecretStatus> write(QString account, QByteArray data) override;
    QCoro::Task<SecretStatus> remove(QString account) override;

    // Calls made from now on finish after this delay (zero: at once).
    void setDelay(std::chrono::milliseconds delay);
    // Calls made from now on fail with this status and change nothing (none: they succeed again).
    void setFailure(std::optional<SecretStatus> failure);

    QHash<QString, QByteArray> items() const;

private:
    struct State {
        QHash<QString, QByteArray> items;
    };
    std::shared_ptr<State> m_state;
    std::chrono::milliseconds m_delay{0};
    std::optional<SecretStatus> m_failure;
};

} // namespace sendra
