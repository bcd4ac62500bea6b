#pragma once

#include "Domain/BrandTypes.h"

#include <simdjson.h>

namespace sendra::platform {

// Reads the platform's brand resolution answer strictly: any answer that breaks its format fails with
// CommandFailure accessConfigurationUnavailable, privateIdentifierRequired (a private brand without its
// presentation or identifier) or noAvailableServer (a private brand with no enabled server). Only the optional
// presentation and server keys fall back to their defaults. The brand's pictures are kept as artworkAddress() keeps
// them, relative ones taken relative to `document`, the address the answer came from.
BrandResolution readBrandResolution(const simdjson::dom::object& answer, const QUrl& document);

} // namespace sendra::platform
