#include "Networking/XtreamValues.h"

#include "Domain/CommandError.h"

namespace sendra::xtream {

namespace {

std::optional<bool> boolean(const JsonValue& value)
{
    bool flag = false;
    if (value.get_bool().get(flag) != simdjson::SUCCESS)
        return std::nullopt;
    return flag;
}

bool isBlank(std::string_view text)
{
    const QString decoded = QString::fromUtf8(text.data(), qsizetype(text.size()));
    return decoded.trimmed().isEmpty();
}

} // namespace

std::optional<QString> string(const JsonValue& value)
{
    if (const auto flag = boolean(value))
        return *flag ? QStringLiteral("1") : QStringLiteral("0");
    return netkit::json::string(value);
}

std::optional<qint64> integer(const JsonValue& value)
{
    if (const auto flag = boolean(value))
        return *flag ? 1 : 0;
    return netkit::json::integer(value);
}

std::optional<QString> string(const simdjson::dom::element& value)
{
    return string(JsonValue(simdjson::dom::element(value)));
}

std::optional<qint64> integer(const simdjson::dom::element& value)
{
    return integer(JsonValue(simdjson::dom::element(value)));
}

QString firstText(const simdjson::dom::object& object, std::initializer_list<std::string_view> keys)
{
    for (const std::string_view key : keys) {
        const JsonValue value = object[key];
        std::string_view text;
        if (value.get_string().get(text) == simdjson::SUCCESS) {
            if (!isBlank(text))
                return QString::fromUtf8(text.data(), qsizetype(text.size()));
            continue;
        }
        if (value.is_number() || value.is_bool())
            return *string(value);
    }
    return QString();
}

ObjectReply parseObject(QByteArrayView body)
{
    ObjectReply reply{netkit::JsonDocument::parse(body), {}};
    if (reply.document.root().get_object().get(reply.object) != simdjson::SUCCESS)
        throw CommandFailure(CommandError::invalidResponse);
    return reply;
}

} // namespace sendra::xtream
