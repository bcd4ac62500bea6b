#include "Storage/MemorySecretStore.h"

#include <qcoro/qcorotimer.h>

namespace sendra {

namespace {

QCoro::Task<> pause(std::chrono::milliseconds delay)
{
    if (delay.count() > 0)
        co_await QCoro::sleepFor(delay);
}

} // namespace

MemorySecretStore::MemorySecretStore()
    : m_state(std::make_shared<State>())
{
}

QCoro::Task<SecretRead> MemorySecretStore::read(QString account)
{
    const auto state = m_state;
    const auto failure = m_failure;
    co_await pause(m_delay);
    if (failure)
        co_return SecretRead{*failure, {}};
    const auto found = state->items.constFind(account);
    if (found == state->items.cend())
        co_return SecretRead{SecretStatus::notFound, {}};
    co_return SecretRead{SecretStatus::ok, *found};
}

QCoro::Task<SecretStatus> MemorySecretStore::write(QString account, QByteArray data)
{
    const auto state = m_state;
    const auto failure = m_failure;
    co_await pause(m_delay);
    if (failure)
        co_return *failure;
    state->items.insert(account, data);
    co_return SecretStatus::ok;
}

QCoro::Task<SecretStatus> MemorySecretStore::remove(QString account)
{
    const auto state = m_state;
    const auto failure = m_failure;
    co_await pause(m_delay);
    if (failure)
        co_return *failure;
    state->items.remove(account);
    co_return SecretStatus::ok;
}

void MemorySecretStore::setDelay(std::chrono::milliseconds delay)
{
    m_delay = delay;
}

void MemorySecretStore::setFailure(std::optional<SecretStatus> failure)
{
    m_failure = failure;
}

QHash<QString, QByteArray> MemorySecretStore::items() const
{
    return m_state->items;
}

} // namespace sendra
