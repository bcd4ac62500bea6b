#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace orrinth {

// An address read from a text as it stands (no trimming); an empty or unparsable text is no address.
std::optional<QUrl> parseAddress(const QString &text);

// The address without path, query and fragment (scheme, user information, host and port stay, case kept).
// An address that cannot be taken apart or rebuilt comes back unchanged.
QUrl normalizedAddress(const QUrl &url);

// The comparison form of a server origin: the normalised address as lower-cased text without surrounding
// slashes. An address with no usable origin has none, so it never matches anything, not even itself.
std::optional<QString> reducedOrigin(const QUrl &url);

bool sameOrigin(const QUrl &a, const QUrl &b);

} // namespace orrinth
