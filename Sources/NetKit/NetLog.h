#pragma once

#include <QLoggingCategory>

namespace netkit {

// Messages of the network layers (HTTP session, platform client, source adapters, core clients).
// Silent below warning unless QT_LOGGING_RULES turns it up (for example "sendra.net.debug=true"). Never log an
// address or a credential here: server and stream addresses carry user names and passwords.
Q_DECLARE_LOGGING_CATEGORY(netLog)

} // namespace netkit
