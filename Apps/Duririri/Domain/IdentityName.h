#pragma once

#include <QString>

namespace sendra {

// A viewer identity's name as typed, made safe to show and to store: line breaks and tabs become blanks; other
// control characters, direction overrides and isolates (a name that shows reversed, or reorders the text after
// it) and unpaired surrogate halves (stored as "?", so the name changed after a restart) are removed; blanks at
// both ends are trimmed. Empty when nothing visible is left (only blanks or zero-width characters).
QString identityName(const QString& typed);

} // namespace sendra
