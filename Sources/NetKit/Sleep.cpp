#include "NetKit/Sleep.h"

#include "NetKit/Wakeup.h"

#include <QTimer>

namespace netkit {

QCoro::Task<void> sleepFor(std::chrono::milliseconds duration, CancelToken token)
{
    throwIfCancelled(token);
    auto wakeup = std::make_shared<detail::Wakeup>();
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &timer, [wakeup] { wakeup->post(); });
    const CancelRegistration onCancel = token.onCancel([wakeup] { wakeup->post(); });
    timer.start(duration);
    auto woken = wakeup->waiter();
    co_await woken;
    throwIfCancelled(token);
}

} // namespace netkit
