#include "NetKit/LenientJson.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

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

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
        return (c | 0x20) - 'a' + 10;
    return -1;
}

// The code unit of a "\uXXXX" escape starting at `at`, or -1 when there is none.
int escapedUnit(std::string_view bytes, std::size_t at)
{
    if (at + 6 > bytes.size() || bytes[at] != '\\' || bytes[at + 1] != 'u')
        return -1;
    int unit = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        const int digit = hexDigit(bytes[i]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// The length of the well-formed UTF-8 sequence at `at`, or, negated, that of its longest ill-formed start (which
// one U+FFFD replaces, as QString::fromUtf8 does).
std::ptrdiff_t utf8Sequence(std::string_view bytes, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high; // ED A0..BF would encode a surrogate: CESU-8
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return -1;
    }
    std::size_t i = 1;
    for (; i < length && at + i < bytes.size(); ++i) {
        const auto next = static_cast<unsigned char>(bytes[at + i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
            break;
    }
    return i == length ? std::ptrdiff_t(length) : -std::ptrdiff_t(i);
}

bool isNumberByte(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Whether `token` is a number as JSON writes it that the parser still refuses (out of range). Short plain numbers
// always fit; the rest, rare in real answers, are put to the parser itself so both agree.
bool outOfRange(std::string_view token, std::optional<simdjson::dom::parser>& parser)
{
    std::size_t i = token.starts_with('-') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9')
            ++i;
        return i > from;
    };
    if (i == token.size() || (token[i] == '0' && i + 1 < token.size() && token[i + 1] >= '0' && token[i + 1] <= '9') ||
        !digits())
        return false;
    if (i < token.size() && token[i] == '.' && (++i, !digits()))
        return false;
    bool plain = true;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        plain = false;
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-'))
            ++i;
        if (!digits())
            return false;
    }
    if (i != token.size() || (plain && token.size() <= 18))
        return false;
    if (!parser)
        parser.emplace();
    return parser->parse(token.data(), token.size(), true).error() != simdjson::SUCCESS;
}

} // namespace

bool repairJson(std::string_view bytes, std::string& repaired)
{
    repaired.clear();
    std::size_t copied = 0;
    const auto replace = [&](std::size_t from, std::size_t to, std::string_view with) {
        repaired.append(bytes.substr(copied, from - copied)).append(with);
        copied = to;
    };
    std::optional<simdjson::dom::parser> numbers;
    bool inString = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (!inString) {
            if (c == '"') {
                inString = true;
                ++i;
            } else if (c == '-' || (c >= '0' && c <= '9')) {
                std::size_t end = i + 1;
                while (end < bytes.size() && isNumberByte(bytes[end]))
                    ++end;
                if (outOfRange(bytes.substr(i, end - i), numbers))
                    replace(i, end, "null");
                i = end;
            } else {
                ++i;
            }
        } else if (c == '"') {
            inString = false;
            ++i;
        } else if (c == '\\') {
            const int unit = escapedUnit(bytes, i);
            if (unit < 0) {
                i += 2;
                continue;
            }
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                const int next = escapedUnit(bytes, i + 6);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    i += 12;
                    continue;
                }
            }
            if (unit >= 0xD800 && unit <= 0xDFFF)
                replace(i, i + 6, "\\ufffd");
            i += 6;
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            const std::ptrdiff_t length = utf8Sequence(bytes, i);
            if (length < 0)
                replace(i, i - length, "\xEF\xBF\xBD");
            i += std::size_t(length < 0 ? -length : length);
        } else {
            ++i;
        }
    }
    if (copied == 0)
        return false;
    repaired.append(bytes.substr(std::min(copied, bytes.size())));
    return true;
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
    auto result = document.m_parser->parse(bytes.data(), std::size_t(bytes.size()));
    if (result.error() != simdjson::SUCCESS) {
        // One bad value must not cost the whole answer; the common, clean body never pays for this.
        std::string repaired;
        if (!repairJson(std::string_view(bytes.data(), std::size_t(bytes.size())), repaired))
            throw JsonError(result.error());
        const auto second = document.m_parser->parse(repaired);
        if (second.error() != simdjson::SUCCESS)
            throw JsonError(result.error());
        result = second;
    }
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
