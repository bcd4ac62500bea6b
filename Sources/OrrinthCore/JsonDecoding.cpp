#include "OrrinthCore/JsonDecoding.h"

#include "OrrinthCore/Addresses.h"

#include <cmath>
#include <limits>
#include <string>

namespace orrinth::json {

netkit::JsonDocument parseDocument(QByteArrayView bytes)
{
    try {
        return netkit::JsonDocument::parse(bytes);
    } catch (const netkit::JsonError &error) {
        throw DecodingError(DecodingError::Kind::syntax, error.what());
    }
}

void fail(DecodingError::Kind kind, const char *record, std::string_view key)
{
    std::string what(record);
    if (!key.empty())
        what.append(" \"").append(key).append("\"");
    switch (kind) {
    case DecodingError::Kind::syntax:
        what.append(": not valid JSON");
        break;
    case DecodingError::Kind::missingValue:
        what.append(": missing");
        break;
    case DecodingError::Kind::wrongType:
        what.append(": unexpected type");
        break;
    case DecodingError::Kind::invalidValue:
        what.append(": unusable value");
        break;
    }
    throw DecodingError(kind, what);
}

std::optional<QString> textValue(Element element)
{
    std::string_view text;
    if (element.get_string().get(text) != simdjson::SUCCESS)
        return std::nullopt;
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::optional<qint64> integerValue(Element element)
{
    switch (element.type()) {
    case simdjson::dom::element_type::INT64:
        return int64_t(element);
    case simdjson::dom::element_type::UINT64: {
        const uint64_t value = uint64_t(element);
        if (value > uint64_t(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return qint64(value);
    }
    case simdjson::dom::element_type::DOUBLE: {
        const double value = double(element);
        // 2^63 itself is out of range; the bounds are exact powers of two, so the comparison is exact.
        if (!std::isfinite(value) || value != std::trunc(value) || value < -0x1p63 || value >= 0x1p63)
            return std::nullopt;
        return qint64(value);
    }
    default:
        return std::nullopt;
    }
}

Fields::Fields(Element element, const char *record) : m_record(record)
{
    if (element.get_object().get(m_object) != simdjson::SUCCESS)
        fail(DecodingError::Kind::wrongType, record, {});
}

std::optional<Element> Fields::value(std::string_view key) const
{
    Element element;
    if (m_object.at_key(key).get(element) != simdjson::SUCCESS || element.is_null())
        return std::nullopt;
    return element;
}

Element Fields::required(std::string_view key) const
{
    const auto element = value(key);
    if (!element)
        fail(DecodingError::Kind::missingValue, m_record, key);
    return *element;
}

QString Fields::text(std::string_view key) const
{
    const auto text = textValue(required(key));
    if (!text)
        fail(DecodingError::Kind::wrongType, m_record, key);
    return *text;
}

std::optional<QString> Fields::optionalText(std::string_view key) const
{
    return value(key) ? std::optional<QString>(text(key)) : std::nullopt;
}

qint64 Fields::integer(std::string_view key) const
{
    const auto integer = integerValue(required(key));
    if (!integer)
        fail(DecodingError::Kind::wrongType, m_record, key);
    return *integer;
}

std::optional<qint64> Fields::optionalInteger(std::string_view key) const
{
    return value(key) ? std::optional<qint64>(integer(key)) : std::nullopt;
}

bool Fields::boolean(std::string_view key) const
{
    bool result = false;
    if (required(key).get_bool().get(result) != simdjson::SUCCESS)
        fail(DecodingError::Kind::wrongType, m_record, key);
    return result;
}

std::optional<bool> Fields::optionalBoolean(std::string_view key) const
{
    return value(key) ? std::optional<bool>(boolean(key)) : std::nullopt;
}

QUrl Fields::address(std::string_view key) const
{
    const auto url = parseAddress(text(key));
    if (!url)
        fail(DecodingError::Kind::invalidValue, m_record, key);
    return *url;
}

} // namespace orrinth::json
