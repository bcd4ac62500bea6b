#pragma once

#include "Domain/CatalogTypes.h"

#include <QSet>
#include <QVariantMap>

namespace sendra::ui {

// A source may send a title, a category name or a synopsis of up to 16 MiB, and a text item lays out all it is
// given (a megabyte holds the window for a second). The screens get a prefix longer than the widest window
// shows in a text's lines, cut between two characters as a reader sees them and ended with "…"; the deck
// keeps, orders and searches the whole text. The limits count UTF-16 units.
inline constexpr qsizetype shownNameLimit = 1024;
inline constexpr qsizetype shownSynopsisLimit = 8192;
QString shownText(const QString& text, qsizetype limit = shownNameLimit);

// An entry as QML reads it: key ("kind:id"), id, title (as shown), groupID, groupName (as shown), artwork (address
// text, empty when none), kind ("tv", "movies", "series"), generic (shown without the kind split), isFavorite,
// ownStream (the entry carries its own stream address, as a playlist's do).
QVariantMap nodeValue(const MediaNode& node, const QSet<QString>& favorites);
// A category: id (the group key), name, kind.
QVariantMap groupValue(const MediaGroup& group);
// A viewer identity: id (without braces), name, glyph.
QVariantMap identityValue(const ViewerIdentity& identity);
QString artworkText(const std::optional<QUrl>& artwork);
// An entry's artwork is kept as checked, encoded text: handed on as it is, without parsing it per row.
QString artworkText(const std::optional<AddressText>& artwork);

} // namespace sendra::ui
