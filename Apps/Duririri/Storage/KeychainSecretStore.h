#pragma once

#include "Storage/SecretStore.h"

namespace sendra {

// The desktop keyring through qtkeychain (Secret Service on this platform): one item per account, under
// the service given (the product's storage namespace). Data is kept as a binary item.
class KeychainSecretStore final : public SecretStore {
public:
    explicit KeychainSecretStore(QString service);

    QCoro::Task<SecretRead> read(QString account) override;
    QCoro::Task<SecretStatus> write(QString account, QByteArray data) override;
    QCoro::Task<SecretStatus> remove(QString account) override;

private:
    QString m_service;
};

} // namespace sendra
