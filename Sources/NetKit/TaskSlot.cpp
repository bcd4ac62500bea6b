#include "NetKit/TaskSlot.h"

#include "NetKit/NetLog.h"

#include <utility>

namespace netkit {

namespace {

QCoro::Task<void> guarded(std::function<QCoro::Task<void>()> body)
{
    try {
        co_await body();
    } catch (const Cancelled&) {
    } catch (...) {
        // A detached task has nobody to report to; its owner learns the outcome through its own state.
        qCWarning(netLog, "Sendra: a background task ended with a failure it did not handle");
    }
}

QCoro::Task<void> runInSlot(TaskBody body, CancelToken token, std::shared_ptr<bool> finished)
{
    try {
        co_await body(token);
    } catch (const Cancelled&) {
    } catch (...) {
        if (!token.isCancelled())
            qCWarning(netLog, "Sendra: a task ended with a failure it did not handle");
    }
    *finished = true;
}

} // namespace

void detach(std::function<QCoro::Task<void>()> body)
{
    guarded(std::move(body));
}

TaskSlot::TaskSlot()
{
    m_token.cancel();
}

TaskSlot::TaskSlot(CancelToken parent)
    : m_parent(std::move(parent))
{
    m_token.cancel();
}

TaskSlot::~TaskSlot()
{
    m_token.cancel();
}

CancelToken TaskSlot::start(TaskBody body)
{
    m_token.cancel();
    m_token = m_parent ? m_parent->child() : CancelToken();
    m_finished = std::make_shared<bool>(false);
    runInSlot(std::move(body), m_token, m_finished);
    return m_token;
}

void TaskSlot::cancel()
{
    m_token.cancel();
}

bool TaskSlot::isRunning() const
{
    return m_finished && !*m_finished && !m_token.isCancelled();
}

} // namespace netkit
