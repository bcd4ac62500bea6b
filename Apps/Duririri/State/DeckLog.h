#pragma once

#include <QLoggingCategory>

namespace sendra {

// Messages of the command deck and its catalogue engine.
// Silent below warning unless QT_LOGGING_RULES turns it up (for example "sendra.deck.debug=true"). Never log an
// address or a credential here: server and stream addresses carry user names and passwords.
Q_DECLARE_LOGGING_CATEGORY(deckLog)

} // namespace sendra
