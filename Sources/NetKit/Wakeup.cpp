#include "NetKit/Wakeup.h"

#include <QCoreApplication>

#include <utility>

namespace netkit::detail {

void Wakeup::post()
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self = shared_from_this()] {
            if (auto waiter = std::exchange(self->m_waiter, {}))
                waiter.resume();
        },
        Qt::QueuedConnection);
}

} // namespace netkit::detail
