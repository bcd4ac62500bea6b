#pragma once

#include "Domain/CatalogTypes.h"
#include "Domain/ShownText.h"

#include <QSet>
#include <QVariantMap>

namespace sendra::ui {

// The screens' cut lives below them, where the deck keeps what a resume marker shows.
using sendra::shownNameLimit;
using sendra::shownSynopsisLimit;
using sendra::shownText;

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
