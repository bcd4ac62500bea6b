#pragma once

#include <QString>

namespace sendra {

// A source may send a title, a category name or a synopsis of up to 16 MiB, and a text item lays out all it is
// given (a megabyte holds the window for a second). The screens get a prefix longer than the widest window
// shows in a text's lines, cut between two characters as a reader sees them and ended with "…"; the deck
// keeps, orders and searches the whole text. The limits count UTF-16 units.
inline constexpr qsizetype shownNameLimit = 1024;
inline constexpr qsizetype shownSynopsisLimit = 8192;
QString shownText(const QString& text, qsizetype limit = shownNameLimit);

} // namespace sendra
