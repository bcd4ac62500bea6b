#include "State/DeckLog.h"

namespace sendra {

Q_LOGGING_CATEGORY(deckLog, "sendra.deck", QtWarningMsg)

} // namespace sendra
