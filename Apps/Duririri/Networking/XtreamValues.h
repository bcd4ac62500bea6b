#pragma once

#include "NetKit/LenientJson.h"

#include <QString>

#include <initializer_list>
#include <optional>
#include <string_view>

namespace sendra::xtream {

using JsonValue = simdjson::simdjson_result<simdjson::dom::element>;

// Panels send the same value as a number one day and as a text the next; true and false count as the numbers
// 1 and 0, as PHP writes them.

// A text unchanged (the empty text included) or a number's decimal text; null, lists, objects and absent
// values give nothing (never the text "<null>").
std::optional<QString> string(const JsonValue& value);
std::optional<QString> string(const simdjson::dom::element& value);

// A number with its fraction dropped, or a text that is exactly an optional sign and ASCII digits within the
// 64-bit range.
std::optional<qint64> integer(const JsonValue& value);
std::optional<qint64> integer(const simdjson::dom::element& value);

// The first value under `keys` that is a non-blank text (returned untrimmed) or a number (its decimal text);
// the empty text when none is.
QString firstText(const simdjson::dom::object& object, std::initializer_list<std::string_view> keys);

// The object of a reply. Throws netkit::JsonError when `body` is not JSON and CommandFailure(invalidResponse)
// when it is JSON of another shape. The object lives as long as the returned document.
struct ObjectReply
{
    netkit::JsonDocument document;
    simdjson::dom::object object;
};
ObjectReply parseObject(QByteArrayView body);

} // namespace sendra::xtream
