#include "Storage/SerialSecretStore.h"

#include "Storage/WithinTime.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace sendra {

namespace {

// Awaited first thing in every operation: since tasks start at once, the place in line is taken during
// the call itself.
struct Turn {
    std::shared_ptr<SerialSecretStore::Line> line;

    bool await_ready()
    {
        if (line->busy)
            return false;
        line->busy = true;
        return true;
    }
    void await_suspend(std::coroutine_handle<> waiter) { line->waiting.push_back(waiter); }
    void await_resume() const noexcept {}
};

// Gives the turn back when the operation ends, whichever way it ends.
struct LeaveOnExit {
    std::shared_ptr<SerialSecretStore::Line> line;
    ~LeaveOnExit() { line->leave(); }
};

// The operation holds the line and the inner store itself: the serial store may be gone when its turn comes.
// The line is held until the inner operation has really ended, however long after its caller stopped waiting:
// the next operation never runs beside a late one, so a late answer can never land after a later operation.
template <class Result, class Operation>
QCoro::Task<Result> inTurn(std::shared_ptr<SerialSecretStore::Line> line, Operation operation)
{
    Turn turn{line}; // a named awaiter: g++ 12 mishandles temporaries with members inside co_await
    co_await turn;
    LeaveOnExit leave{line};
    QCoro::Task<Result> running = operation();
    co_return co_await running;
}

// The caller's answer: the operation's own when it ended within `limit` of the call (waiting for its turn
// included), `whenFailed` otherwise.
template <class Result>
QCoro::Task<Result> bounded(QCoro::Task<Result> operation, Result whenFailed, std::chrono::milliseconds limit)
{
    QCoro::Task<std::optional<Result>> timed = withinTime(std::move(operation), limit);
    std::optional<Result> result = co_await timed;
    co_return result ? std::move(*result) : whenFailed;
}

} // namespace

void SerialSecretStore::Line::leave()
{
    if (waiting.empty()) {
        busy = false;
        return;
    }
    // The turn passes straight to the next operation (busy stays set). It resumes from the event loop,
    // not from inside the one that just ended, so long lines never deepen the stack.
    const std::coroutine_handle<> next = waiting.front();
    waiting.pop_front();
    QMetaObject::invokeMethod(QCoreApplication::instance(), [next] { next.resume(); }, Qt::QueuedConnection);
}

SerialSecretStore::SerialSecretStore(std::shared_ptr<SecretStore> inner, std::chrono::milliseconds callLimit)
    : m_inner(std::move(inner))
    , m_line(std::make_shared<Line>())
    , m_callLimit(callLimit)
{
}

QCoro::Task<> SerialSecretStore::settled()
{
    const auto line = m_line;
    Turn turn{line};
    co_await turn;
    line->leave();
}

bool SerialSecretStore::idle() const
{
    return !m_line->busy;
}

QCoro::Task<SecretRead> SerialSecretStore::read(QString account)
{
    return bounded(inTurn<SecretRead>(m_line, [inner = m_inner, account] { return inner->read(account); }),
                   SecretRead{}, m_callLimit);
}

QCoro::Task<SecretStatus> SerialSecretStore::write(QString account, QByteArray data)
{
    return bounded(inTurn<SecretStatus>(m_line,
                                        [inner = m_inner, account, data] { return inner->write(account, data); }),
                   SecretStatus::failed, m_callLimit);
}

QCoro::Task<SecretStatus> SerialSecretStore::remove(QString account)
{
    return bounded(inTurn<SecretStatus>(m_line, [inner = m_inner, account] { return inner->remove(account); }),
                   SecretStatus::failed, m_callLimit);
}

} // namespace sendra
