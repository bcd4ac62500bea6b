#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <simdjson.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace netkit {

// A body that is not JSON. The message names what is wrong, never where it came from.
class JsonError : public std::exception
{
public:
    explicit JsonError(simdjson::error_code code);
    simdjson::error_code code() const { return m_code; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    simdjson::error_code m_code;
    std::string m_what;
};

// `bytes` without a leading UTF-8 byte-order mark.
QByteArrayView withoutByteOrderMark(QByteArrayView bytes);

// `bytes` with what spoils one value and no more made readable, in `repaired`: inside strings an escaped lone or
// reversed surrogate becomes \ufffd and a byte that is no UTF-8 (CESU-8 among them) U+FFFD; a number the parser
// cannot hold (1e400, an integer past 64 bits) becomes null. False, and `repaired` unspecified, when nothing was
// changed. Brackets, quotes and backslashes are never touched, so broken structure stays broken.
bool repairJson(std::string_view bytes, std::string& repaired);

// A parsed JSON document; its elements stay valid while the document lives. Movable, so large bodies can be
// parsed on a worker thread and handed back.
class JsonDocument
{
public:
    // Throws JsonError for an empty body or broken syntax; a body that fails only by its bad values is read as
    // repairJson makes it. A leading byte-order mark is skipped.
    static JsonDocument parse(QByteArrayView bytes);

    simdjson::dom::element root() const { return m_root; }

private:
    std::unique_ptr<simdjson::dom::parser> m_parser;
    simdjson::dom::element m_root;
};

// Lenient readers for loosely typed JSON, where panels and services send the same value as a number one day and
// as a text the next. An absent value (a failed lookup) reads as nothing.
namespace json {

// A JSON number (truncated toward zero) or a text that is exactly a decimal integer: optional "+" or "-", at least
// one ASCII digit, no blanks. Out of the 64-bit range, non-finite, null, true/false, arrays and objects: nothing.
std::optional<qint64> integer(const simdjson::dom::element& value);
std::optional<qint64> integer(const simdjson::simdjson_result<simdjson::dom::element>& value);

// A text unchanged (not trimmed) or a number's decimal form; anything else: nothing.
std::optional<QString> string(const simdjson::dom::element& value);
std::optional<QString> string(const simdjson::simdjson_result<simdjson::dom::element>& value);

// The text rule of `integer` on its own.
std::optional<qint64> integerFromText(std::string_view text);

// Strict readers: the value only when it has exactly that JSON type.
std::optional<QString> text(const simdjson::dom::element& value);
std::optional<QString> text(const simdjson::simdjson_result<simdjson::dom::element>& value);
std::optional<bool> boolean(const simdjson::dom::element& value);
std::optional<bool> boolean(const simdjson::simdjson_result<simdjson::dom::element>& value);
std::optional<simdjson::dom::object> object(const simdjson::dom::element& value);
std::optional<simdjson::dom::object> object(const simdjson::simdjson_result<simdjson::dom::element>& value);
std::optional<simdjson::dom::array> array(const simdjson::dom::element& value);
std::optional<simdjson::dom::array> array(const simdjson::simdjson_result<simdjson::dom::element>& value);

} // namespace json

} // namespace netkit
