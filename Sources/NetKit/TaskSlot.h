#pragma once

#include "NetKit/CancelToken.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>
#include <optional>

namespace netkit {

using TaskBody = std::function<QCoro::Task<void>(CancelToken)>;

// Starts `body` and lets it run on its own. QCoro tasks keep running when dropped and an exception nobody awaits
// is lost, so the body runs inside a catch-all; the body (and whatever its lambda captures) lives until it ends.
void detach(std::function<QCoro::Task<void>()> body);

// Owns the token of one task at a time. Starting a task cancels the previous one first; destroying the slot
// cancels the running task, which must then end without touching its owner.
class TaskSlot
{
public:
    TaskSlot();
    // Every task of the slot gets a child of `parent`, so cancelling the parent ends it too.
    explicit TaskSlot(CancelToken parent);
    ~TaskSlot();
    TaskSlot(const TaskSlot&) = delete;
    TaskSlot& operator=(const TaskSlot&) = delete;

    // Cancels the running task, then starts `body` with a fresh token, which is returned.
    CancelToken start(TaskBody body);
    void cancel();
    // True while the latest task has neither finished nor been cancelled.
    bool isRunning() const;
    CancelToken token() const { return m_token; }

private:
    std::optional<CancelToken> m_parent;
    CancelToken m_token;
    std::shared_ptr<bool> m_finished;
};

} // namespace netkit
