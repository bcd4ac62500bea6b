#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace sendra::playback {

// The identity every stream request and every redirect probe presents to the media servers.
inline constexpr char clientIdentity[] = "Mozilla/5.0 (Linux; Android) AppleWebKit/537.36 Calvenor/1.0";

// The VLC media options for opening `openURL`, which `requestedURL` led to (they differ after a redirect).
QStringList configuredMediaOptions(const QUrl &openURL, const QUrl &requestedURL);

// "scheme://host[:port]/" of an address with a scheme and a host; IPv6 hosts keep their brackets.
std::optional<QString> refererFor(const QUrl &url);

// Lower-cased suffix of the address's last path component, empty without one.
QString fileExtension(const QUrl &url);

bool isLiveAddress(const QUrl &url);

} // namespace sendra::playback
