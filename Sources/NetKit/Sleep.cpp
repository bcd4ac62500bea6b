#include "NetKit/Sleep.h"

#include <QCoreApplication>
#include <QTimer>

#include <coroutine>
#include <memory>

namespace netkit {

namespace {

struct Wake
{
    std::coroutine_handle<> waiter;

    void post(const std::shared_ptr<Wake>& self)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (auto waiter = std::exchange(self->waiter, {}))
                    waiter.resume();
            },
            Qt::QueuedConnection);
    }
};

struct WakeAwaiter
{
    std::shared_ptr<Wake> wake;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiter) noexcept { wake->waiter = waiter; }
    void await_resume() const noexcept {}
};

} // namespace

QCoro::Task<void> sleepFor(std::chrono::milliseconds duration, CancelToken token)
{
    throwIfCancelled(token);
    auto wake = std::make_shared<Wake>();
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &timer, [wake] { wake->post(wake); });
    const CancelRegistration onCancel = token.onCancel([wake] { wake->post(wake); });
    timer.start(duration);
    // A named awaiter: g++ 12 destroys a braced temporary awaiter twice (a shared_ptr then loses a reference).
    WakeAwaiter woken{wake};
    co_await woken;
    throwIfCancelled(token);
}

} // namespace netkit
