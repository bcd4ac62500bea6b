#pragma once

#include "Domain/AddressText.h"
#include "NetKit/AddressReader.h"

#include <QUrl>

#include <optional>
#include <string_view>

namespace sendra {

// What artwork may be loaded from: an http or https address with a host. A relative address is taken relative to
// `base`, the address its text came from, without the base's query, fragment and user information (they may hold
// credentials).
std::optional<QUrl> artworkAddress(const QUrl& address, const QUrl& base);

// An artwork text read with `reader` and kept as artworkAddress() keeps it.
std::optional<QUrl> readArtwork(netkit::AddressReader& reader, std::string_view utf8, const QUrl& base);

// The same as checked text; an address QUrl keeps as written is kept without making a QUrl.
std::optional<AddressText> readArtworkText(netkit::AddressReader& reader, std::string_view utf8, const QUrl& base);

} // namespace sendra
