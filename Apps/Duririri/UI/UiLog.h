#pragma once

#include <QLoggingCategory>

namespace sendra::ui {

// Messages of the interface: the application object, windows and screens' helpers.
// Silent below warning unless QT_LOGGING_RULES turns it up (for example "sendra.ui.debug=true"). Never log an
// address or a credential here: server and stream addresses carry user names and passwords.
Q_DECLARE_LOGGING_CATEGORY(uiLog)

} // namespace sendra::ui
