#pragma once

#include "Storage/SecretStore.h"

#include <chrono>
#include <coroutine>
#include <deque>
#include <memory>

namespace sendra {

// Runs the operations of another store one at a time, in the order they were called, whoever awaits them:
// a delete made on unlinking can never land after a save made later. A caller may drop the returned task;
// the operation still runs in its turn. The caller's answer comes within `callLimit` of the call, waiting for
// the turn included: an operation not ended by then is answered as failed. It is not withdrawn (a keyring call
// cannot be): it keeps the turn until the store really answers, and the operations after it wait and follow in
// order, so when a hung keyring wakes, the last operation made is the one that holds.
class SerialSecretStore final : public SecretStore {
public:
    static constexpr std::chrono::milliseconds defaultCallLimit{10000};

    explicit SerialSecretStore(std::shared_ptr<SecretStore> inner,
                               std::chrono::milliseconds callLimit = defaultCallLimit);

    QCoro::Task<SecretRead> read(QString account) override;
    QCoro::Task<SecretStatus> write(QString account, QByteArray data) override;
    QCoro::Task<SecretStatus> remove(QString account) override;

    // Finishes once every operation called before it has really ended (late ones included).
    QCoro::Task<> settled();
    // No operation is running or waiting.
    bool idle() const;

    // Its own object so that waiting operations keep it alive after the store is gone.
    struct Line {
        bool busy = false;
        std::deque<std::coroutine_handle<>> waiting;
        void leave();
    };

private:
    std::shared_ptr<SecretStore> m_inner;
    std::shared_ptr<Line> m_line;
    std::chrono::milliseconds m_callLimit;
};

} // namespace sendra
