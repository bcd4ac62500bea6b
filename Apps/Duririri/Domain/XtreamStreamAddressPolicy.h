#pragma once

#include <QString>

#include <optional>

namespace sendra::XtreamStreamAddressPolicy {

// The panel's container extension, trimmed and lower-cased, when it is 1 to 8 ASCII letters or digits;
// otherwise `fallback` unchanged (a suffix carrying a query or a path must never reach a stream address).
QString fileExtension(const std::optional<QString>& value, const QString& fallback);

} // namespace sendra::XtreamStreamAddressPolicy
