#pragma once

#include <QByteArray>
#include <QString>

#include <qcoro/qcorotask.h>

namespace sendra {

// How a secret-store operation ended. Callers that only need "stored or not" compare with `ok`.
enum class SecretStatus {
    ok,
    notFound,    // nothing stored under the name (a delete of nothing is `ok`)
    unavailable, // no secret service to talk to
    denied,      // the keyring stayed locked: the user refused to unlock it, or access was refused
    failed,      // anything else; what was stored before is left as it was
};

struct SecretRead {
    SecretStatus status = SecretStatus::failed;
    QByteArray data; // only with `ok`
};

// Named secrets ("accounts") of one service: the product's storage namespace. Every operation is
// asynchronous so that the window never waits on a keyring; none throws.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    virtual QCoro::Task<SecretRead> read(QString account) = 0;
    // Replaces the item whole; a failed write leaves the previous item in place.
    virtual QCoro::Task<SecretStatus> write(QString account, QByteArray data) = 0;
    virtual QCoro::Task<SecretStatus> remove(QString account) = 0;
};

} // namespace sendra
