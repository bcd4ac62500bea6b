#include "NetKit/NetLog.h"

namespace netkit {

Q_LOGGING_CATEGORY(netLog, "sendra.net", QtWarningMsg)

} // namespace netkit
