#pragma once

#include "NetKit/CancelToken.h"

#include <QCoro/QCoroTask>

#include <chrono>

namespace netkit {

// Waits on the main thread's event loop; throws `Cancelled` as soon as (posted after) the token is cancelled.
QCoro::Task<void> sleepFor(std::chrono::milliseconds duration, CancelToken token);

} // namespace netkit
