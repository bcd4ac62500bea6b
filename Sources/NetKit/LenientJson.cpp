#include "NetKit/LenientJson.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace netkit {

JsonError::JsonError(simdjson::error_code code)
    : m_code(code)
    , m_what(std::string("The answer is not valid JSON: ") + simdjson::error_message(code))
{
}

QByteArrayView withoutByteOrderMark(QByteArrayView bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
}

JsonDocument JsonDocument::parse(QByteArrayView bytes)
{
    // Some servers and editors put a byte-order mark before the text; simdjson refuses it.
    bytes = withoutByteOrderMark(bytes);
    // simdjson would copy from a null pointer for an empty body.
    if (bytes.isEmpty())
        throw JsonError(simdjson::EMPTY);
    JsonDocument document;
    document.m_parser = std::make_unique<simdjson::dom::parser>();
    const auto result = document.m_parser->parse(bytes.data(), std::size_t(bytes.size()));
    if (result.error() != simdjson::SUCCESS)
        throw JsonError(result.error());
    document.m_root = result.value_unsafe();
    return document;
}

namespace json {

namespace {

std::optional<qint64> fromDouble(double value)
{
    // 2^63 is exactly representable; everything from it upwards (and below -2^63) is out of range.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(value) || value >= limit || value < -limit)
        return std::nullopt;
    return qint64(std::trunc(value));
}

QString numberText(const simdjson::dom::element& value)
{
    switch (value.type()) {
    case simdjson::dom::element_type::INT64:
        return QString::number(qint64(value.get_int64().value_unsafe()));
    case simdjson::dom::element_type::UINT64:
        return QString::number(quint64(value.get_uint64().value_unsafe()));
    default: {
        // Shortest text that reads back as the same double ("0.1", "42.5", "1e+300").
        char buffer[64];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value.get_double().value_unsafe()).ptr;
        return QString::fromLatin1(buffer, end - buffer);
    }
    }
}

} // namespace

std::optional<qint64> integerFromText(std::string_view text)
{
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty())
        return std::nullopt;
    // Accumulate toward the negative side so that the 64-bit minimum is reachable.
    qint64 result = 0;
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (result < (min + digit) / 10)
            return std::nullopt;
        result = result * 10 - digit;
    }
    if (negative)
        return result;
    if (result == min)
        return std::nullopt;
    return -result;
}

std::optional<qint64> integer(const simdjson::dom::element& value)
{
    switch (value.type()) {
    case simdjson::dom::element_type::INT64:
        return qint64(value.get_int64().value_unsafe());
    case simdjson::dom::element_type::UINT64:
        return std::nullopt; // above the signed range by construction
    case simdjson::dom::element_type::DOUBLE:
        return fromDouble(value.get_double().value_unsafe());
    case simdjson::dom::element_type::STRING:
        return integerFromText(value.get_string().value_unsafe());
    default:
        return std::nullopt;
    }
}

std::optional<qint64> integer(const simdjson::simdjson_result<simdjson::dom::element>& value)
{
    return value.error() == simdjson::SUCCESS ? integer(value.value_unsafe()) : std::nullopt;
}

std::optional<QString> string(const simdjson::dom::element& value)
{
    switch (value.type()) {
    case simdjson::dom::element_type::STRING: {
        const std::string_view text = value.get_string().value_unsafe();
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    case simdjson::dom::element_type::INT64:
    case simdjson::dom::element_type::UINT64:
    case simdjson::dom::element_type::DOUBLE:
        return numberText(value);
    default:
        return std::nullopt;
    }
}

std::optional<QString> string(const simdjson::simdjson_result<simdjson::dom::element>& value)
{
    return value.error() == simdjson::SUCCESS ? string(value.value_unsafe()) : std::nullopt;
}

namespace {

// The element of a lookup, or nothing when the lookup failed.
template<class T, class Read>
std::optional<T> present(const simdjson::simdjson_result<simdjson::dom::element>& value, Read read)
{
    if (value.error() != simdjson::SUCCESS)
        return std::nullopt;
    return read(value.value_unsafe());
}

} // namespace

std::optional<QString> text(const simdjson::dom::element& value)
{
    if (!value.is_string())
        return std::nullopt;
    return string(value);
}

std::optional<QString> text(const simdjson::simdjson_result<simdjson::dom::element>& value)
{
    return present<QString>(value, [](const simdjson::dom::element& e) { return text(e); });
}

std::optional<bool> boolean(const simdjson::dom::element& value)
{
    if (!value.is_bool())
        return std::nullopt;
    return value.get_bool().value_unsafe();
}

std::optional<bool> boolean(const simdjson::simdjson_result<simdjson::dom::element>& value)
{
    return present<bool>(value, [](const simdjson::dom::element& e) { return boolean(e); });
}

std::optional<simdjson::dom::object> object(const simdjson::dom::element& value)
{
    if (!value.is_object())
        return std::nullopt;
    return value.get_object().value_unsafe();
}

std::optional<simdjson::dom::object> object(const simdjson::simdjson_result<simdjson::dom::element>& value)
{
    return present<simdjson::dom::object>(value, [](const simdjson::dom::element& e) { return object(e); });
}

std::optional<simdjson::dom::array> array(const simdjson::dom::element& value)
{
    if (!value.is_array())
        return std::nullopt;
    return value.get_array().value_unsafe();
}

std::optional<simdjson::dom::array> array(const simdjson::simdjson_result<simdjson::dom::element>& value)
{
    return present<simdjson::dom::array>(value, [](const simdjson::dom::element& e) { return array(e); });
}

} // namespace json

} // namespace netkit
