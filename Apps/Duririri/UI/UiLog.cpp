#include "UI/UiLog.h"

namespace sendra::ui {

Q_LOGGING_CATEGORY(uiLog, "sendra.ui", QtWarningMsg)

} // namespace sendra::ui
