#pragma once

// Internal to NetKit: how an awaiting coroutine is woken from outside.

#include <coroutine>
#include <memory>

namespace netkit::detail {

// One suspended coroutine, resumed later from the main event loop, never from inside whatever called post()
// (a signal, a cancel(), an abort). Extra posts after the first resume do nothing.
class Wakeup : public std::enable_shared_from_this<Wakeup>
{
public:
    virtual ~Wakeup() = default;

    void post();

    struct Awaiter
    {
        std::shared_ptr<Wakeup> wakeup;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiter) noexcept { wakeup->m_waiter = waiter; }
        void await_resume() const noexcept {}
    };
    // Bind it to a name before co_await: g++ 12 destroys an awaiter temporary inside co_await twice.
    Awaiter waiter() { return Awaiter{shared_from_this()}; }

private:
    std::coroutine_handle<> m_waiter;
};

} // namespace netkit::detail
