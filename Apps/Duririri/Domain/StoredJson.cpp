#include "Domain/StoredJson.h"

#include <QByteArrayView>
#include <QJsonParseError>

#include <cmath>
#include <limits>
#include <vector>

namespace sendra {

namespace {
// Reads the fields of one stored object; the first missing or mistyped required field marks the whole record
// unreadable.
class FieldReader {
public:
    explicit FieldReader(const QJsonObject& object) : m_object(object) {}

    bool ok() const { return m_ok; }

    QString text(const char* key) { return required(optionalText(key)); }
    QUrl address(const char* key) { return required(optionalAddress(key)); }
    double number(const char* key) { return required(optionalNumber(key)); }
    int integer(const char* key) { return required(optionalInteger(key)); }
    QUuid uuid(const char* key) { return required(parsed(key, &uuidFromText)); }
    SignalKind kind(const char* key) { return required(parsed(key, &signalKindFromStored)); }
    SourceMethod sourceMethod(const char* key) { return required(parsed(key, &sourceMethodFromStored)); }
    PlatformAccessMode accessMode(const char* key)
    {
        return required(parsed(key, &platformAccessModeFromStored));
    }
    QDateTime date(const char* key) { return required(dateFromReferenceSeconds(number(key))); }
    template <class T>
    T record(const char* key)
    {
        const QJsonValue value = m_object.value(QLatin1StringView(key));
        return required(fromJson<T>(value));
    }

    std::optional<QString> optionalText(const char* key)
    {
        return optional<QString>(key, [](const QJsonValue& v) {
            return v.isString() ? std::optional(v.toString()) : std::nullopt;
        });
    }
    std::optional<QUrl> optionalAddress(const char* key)
    {
        return optional<QUrl>(key, [](const QJsonValue& v) {
            return v.isString() ? addressFromText(v.toString()) : std::nullopt;
        });
    }
    // Decoration only: a value that is not an absolute address reads as none and costs the record nothing.
    std::optional<QUrl> lenientAddress(const char* key) const
    {
        const QJsonValue value = m_object.value(QLatin1StringView(key));
        return value.isString() ? addressFromText(value.toString()) : std::nullopt;
    }
    std::optional<double> optionalNumber(const char* key)
    {
        return optional<double>(key, [](const QJsonValue& v) {
            return v.isDouble() && std::isfinite(v.toDouble()) ? std::optional(v.toDouble()) : std::nullopt;
        });
    }
    std::optional<int> optionalInteger(const char* key)
    {
        return optional<int>(key, [](const QJsonValue& v) -> std::optional<int> {
            const double d = v.toDouble();
            if (!v.isDouble() || !std::isfinite(d) || std::trunc(d) != d || d < std::numeric_limits<int>::min()
                || d > std::numeric_limits<int>::max())
                return std::nullopt;
            return static_cast<int>(d);
        });
    }

private:
    template <class T>
    T required(std::optional<T> value)
    {
        if (!value) {
            m_ok = false;
            return T{};
        }
        return std::move(*value);
    }

    // Missing and null are absent; any other value must convert.
    template <class T, class Convert>
    std::optional<T> optional(const char* key, Convert convert)
    {
        const QJsonValue value = m_object.value(QLatin1StringView(key));
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        std::optional<T> converted = convert(value);
        if (!converted)
            m_ok = false;
        return converted;
    }

    template <class T>
    std::optional<T> parsed(const char* key, std::optional<T> (*parse)(const QString&))
    {
        const std::optional<QString> value = optionalText(key);
        return value ? parse(*value) : std::nullopt;
    }

    QJsonObject m_object;
    bool m_ok = true;
};

template <class T>
std::optional<T> finished(const FieldReader& reader, T record)
{
    return reader.ok() ? std::optional<T>(std::move(record)) : std::nullopt;
}

void insertOptional(QJsonObject& object, const char* key, const std::optional<QUrl>& address)
{
    if (address)
        object.insert(QLatin1StringView(key), addressText(*address));
}

// One element of a damaged list read on its own; none when it does not parse.
std::optional<QJsonValue> parsedElement(QByteArrayView element)
{
    QByteArray wrapped;
    wrapped.reserve(element.size() + 2);
    wrapped.append('[').append(element).append(']');
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &error);
    if (error.error == QJsonParseError::NoError && document.isArray() && document.array().size() == 1)
        return document.array().first();
    return std::nullopt;
}

qsizetype skipSpace(QByteArrayView text, qsizetype at)
{
    while (at < text.size() && QChar::isSpace(uchar(text[at])))
        ++at;
    return at;
}

// How far a read went: just past the value when it is whole, otherwise to the first byte that cannot belong to it.
struct ValueRead {
    qsizetype end = 0;
    bool whole = false;
};

// A text from its opening quote at `at`; not whole when cut short or holding a control character (a line break
// where its closing quote was lost).
ValueRead readText(QByteArrayView text, qsizetype at)
{
    for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (uchar(text[at]) < 0x20)
            return {at, false};
        if (text[at] == '\\')
            ++at;
    }
    return at < text.size() ? ValueRead{at + 1, true} : ValueRead{text.size(), false};
}

// One JSON value from `at`, read only as far as its form allows, so that damage (a lost quote or brace) is found
// where it starts rather than at the end of the text. The finer rules (escapes, number forms) are left to the
// parser that reads the value afterwards.
ValueRead readValue(QByteArrayView text, qsizetype at)
{
    enum class Next { value, valueOrClose, key, keyOrClose, colon, after };
    std::vector<char> open; // the containers entered and not yet closed: '{' or '['
    Next next = Next::value;
    while (true) {
        if (next == Next::after && open.empty())
            return {at, true};
        at = skipSpace(text, at);
        if (at == text.size())
            return {at, false};
        const char c = text[at];
        if ((next == Next::valueOrClose && c == ']') || (next == Next::keyOrClose && c == '}')) {
            open.pop_back();
            ++at;
            next = Next::after;
            continue;
        }
        switch (next) {
        case Next::value:
        case Next::valueOrClose:
            if (c == '{' || c == '[') {
                open.push_back(c);
                ++at;
                next = c == '{' ? Next::keyOrClose : Next::valueOrClose;
            } else if (c == '"') {
                if (const ValueRead read = readText(text, at); read.whole)
                    at = read.end;
                else
                    return read;
                next = Next::after;
            } else {
                // A number or true, false, null.
                const qsizetype start = at;
                const auto inWord = [](char c) {
                    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                           c == '+' || c == '.';
                };
                while (at < text.size() && inWord(text[at]))
                    ++at;
                const QByteArrayView word = text.sliced(start, at - start);
                const bool number = !word.isEmpty() && (word[0] == '-' || (word[0] >= '0' && word[0] <= '9'));
                if (!number && word != "true" && word != "false" && word != "null")
                    return {at, false};
                next = Next::after;
            }
            break;
        case Next::key:
        case Next::keyOrClose:
            if (c != '"')
                return {at, false};
            if (const ValueRead read = readText(text, at); read.whole)
                at = read.end;
            else
                return read;
            next = Next::colon;
            break;
        case Next::colon:
            if (c != ':')
                return {at, false};
            ++at;
            next = Next::value;
            break;
        case Next::after:
            if (c == ',') {
                ++at;
                next = open.back() == '{' ? Next::key : Next::value;
            } else if ((c == '}' && open.back() == '{') || (c == ']' && open.back() == '[')) {
                open.pop_back();
                ++at;
            } else {
                return {at, false};
            }
            break;
        }
    }
}

// The start of the next element after `from`: a comma followed by what opens a record (an object, a list or
// a text). Brackets and strings are not minded: past a damaged record they can no longer be trusted.
qsizetype nextElementStart(QByteArrayView text, qsizetype from)
{
    for (qsizetype at = from; at < text.size(); ++at) {
        if (text[at] != ',')
            continue;
        const qsizetype start = skipSpace(text, at + 1);
        if (start < text.size() && (text[start] == '{' || text[start] == '[' || text[start] == '"'))
            return start;
    }
    return text.size();
}
} // namespace

double clampedFraction(double fraction)
{
    if (!std::isfinite(fraction))
        return 0;
    return std::clamp(fraction, 0.0, 1.0);
}

double referenceSeconds(const QDateTime& date)
{
    if (!date.isValid())
        return 0;
    return double(date.toMSecsSinceEpoch()) / 1000.0 - double(referenceDateOffsetSeconds);
}

std::optional<QDateTime> dateFromReferenceSeconds(double seconds)
{
    // Beyond a few hundred thousand years either way a date is corrupt, not a resume time.
    constexpr double limit = 1e13;
    if (!std::isfinite(seconds) || std::abs(seconds) > limit)
        return std::nullopt;
    const double msecs = (seconds + double(referenceDateOffsetSeconds)) * 1000.0;
    QDateTime date = QDateTime::fromMSecsSinceEpoch(std::llround(msecs), Qt::UTC);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromText(const QString& text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool hyphenPosition = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphenPosition ? c != u'-' : !hex)
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

QString addressText(const QUrl& address)
{
    return address.toString(QUrl::FullyEncoded);
}

std::optional<QUrl> addressFromText(const QString& text)
{
    const QUrl address(text, QUrl::StrictMode);
    if (text.isEmpty() || !address.isValid() || address.isRelative())
        return std::nullopt;
    // Read back from the text it is written as, so that what is read equals what is read after writing it again
    // (QUrl keeps a '#' inside a fragment as given but writes it as %23).
    return QUrl(addressText(address), QUrl::StrictMode);
}

std::optional<QJsonValue> parseJsonDocument(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    if (document.isArray())
        return QJsonValue(document.array());
    if (document.isObject())
        return QJsonValue(document.object());
    return std::nullopt;
}

std::optional<QJsonValue> parseJsonList(const QByteArray& bytes)
{
    if (std::optional<QJsonValue> whole = parseJsonDocument(bytes))
        return whole;
    // Reads the list element by element. An element that does not read (cut short, or an unbalanced quote or
    // brace that would swallow everything after it) is left out, and reading goes on at the next element's start
    // after it; going only forward, no element is read twice.
    const QByteArrayView text(bytes);
    qsizetype at = skipSpace(text, 0);
    if (at == text.size() || text[at] != '[')
        return std::nullopt;
    QJsonArray kept;
    // A try at an element reads only as far as its first damage, but a text made of nothing but starts of values
    // that all run to its end would cost the square of its length: past this much reading (far more than any
    // real damage needs) the elements after are left unread rather than the window frozen.
    qsizetype budget = 32 * text.size() + (qsizetype(1) << 20);
    ++at;
    while ((at = skipSpace(text, at)) < text.size()) {
        const ValueRead read = readValue(text, at);
        budget -= read.end - at;
        std::optional<QJsonValue> element;
        if (read.whole) {
            budget -= read.end - at;
            element = parsedElement(text.sliced(at, read.end - at));
        }
        if (budget < 0)
            break;
        const qsizetype after = skipSpace(text, read.end);
        // A value followed by anything but a comma or a bracket is no element but a piece of a damaged one (a text
        // inside it, read from a quote that closed another text).
        if (!element || (after < text.size() && text[after] != ',' && text[after] != ']')) {
            // Damaged (cut short, or an unbalanced quote or brace that would run on into the records after it):
            // the next element is looked for from its start.
            at = nextElementStart(text, at);
            continue;
        }
        kept.append(*element);
        if (after == text.size() || (text[after] == ']' && skipSpace(text, after + 1) == text.size()))
            break;
        // A comma goes on to the next element; a stray bracket is damage too.
        at = text[after] == ',' ? after + 1 : nextElementStart(text, after);
    }
    return QJsonValue(kept);
}

QJsonObject toJson(const MediaNode& node)
{
    QJsonObject object{
        {QStringLiteral("id"), node.id},
        {QStringLiteral("title"), node.title},
        {QStringLiteral("groupID"), node.groupID},
        {QStringLiteral("groupName"), node.groupName},
        {QStringLiteral("fileSuffix"), node.fileSuffix},
        {QStringLiteral("kind"), storedValue(node.kind)},
    };
    // Left out rather than written in a form the reader would not take back.
    if (node.artwork && addressFromText(addressText(*node.artwork)))
        insertOptional(object, "artwork", node.artwork);
    insertOptional(object, "directURL", node.directURL);
    if (node.contentClassification)
        object.insert(QStringLiteral("contentClassification"), *node.contentClassification);
    return object;
}

QJsonObject toJson(const ResumeMarker& marker)
{
    QJsonObject object{
        {QStringLiteral("id"), marker.id},
        {QStringLiteral("node"), toJson(marker.node)},
        {QStringLiteral("fraction"), clampedFraction(marker.fraction)},
        {QStringLiteral("updatedAt"), referenceSeconds(marker.updatedAt)},
    };
    if (marker.episodeIndex)
        object.insert(QStringLiteral("episodeIndex"), *marker.episodeIndex);
    return object;
}

QJsonObject toJson(const ViewerIdentity& identity)
{
    return QJsonObject{
        {QStringLiteral("id"), uuidText(identity.id)},
        {QStringLiteral("name"), identity.name},
        {QStringLiteral("glyph"), identity.glyph},
    };
}

QJsonObject toJson(const SourceDraft& draft)
{
    return QJsonObject{
        {QStringLiteral("accessMode"), storedValue(draft.accessMode)},
        {QStringLiteral("method"), storedValue(draft.method)},
        {QStringLiteral("brandIdentifier"), draft.brandIdentifier},
        {QStringLiteral("server"), draft.server},
        {QStringLiteral("user"), draft.user},
        {QStringLiteral("password"), draft.password},
        {QStringLiteral("playlist"), draft.playlist},
    };
}

QJsonObject toJson(const ProviderSession& session)
{
    return QJsonObject{
        {QStringLiteral("origin"), addressText(session.origin)},
        {QStringLiteral("user"), session.user},
        {QStringLiteral("secret"), session.secret},
    };
}

template <>
std::optional<MediaNode> fromJson<MediaNode>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    FieldReader read(value.toObject());
    MediaNode node;
    node.id = read.text("id");
    node.title = read.text("title");
    node.groupID = read.text("groupID");
    node.groupName = read.text("groupName");
    node.artwork = read.lenientAddress("artwork");
    node.fileSuffix = read.text("fileSuffix");
    node.kind = read.kind("kind");
    node.directURL = read.optionalAddress("directURL");
    node.contentClassification = read.optionalText("contentClassification");
    return finished(read, std::move(node));
}

template <>
std::optional<ResumeMarker> fromJson<ResumeMarker>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    FieldReader read(value.toObject());
    ResumeMarker marker;
    marker.id = read.text("id");
    marker.node = read.record<MediaNode>("node");
    marker.fraction = clampedFraction(read.number("fraction"));
    marker.updatedAt = read.date("updatedAt");
    marker.episodeIndex = read.optionalInteger("episodeIndex");
    return finished(read, std::move(marker));
}

template <>
std::optional<ViewerIdentity> fromJson<ViewerIdentity>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    FieldReader read(value.toObject());
    ViewerIdentity identity;
    identity.id = read.uuid("id");
    identity.name = read.text("name");
    identity.glyph = read.text("glyph");
    return finished(read, std::move(identity));
}

template <>
std::optional<SourceDraft> fromJson<SourceDraft>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    FieldReader read(value.toObject());
    SourceDraft draft;
    draft.accessMode = read.accessMode("accessMode");
    draft.method = read.sourceMethod("method");
    draft.brandIdentifier = read.text("brandIdentifier");
    draft.server = read.text("server");
    draft.user = read.text("user");
    draft.password = read.text("password");
    draft.playlist = read.text("playlist");
    return finished(read, std::move(draft));
}

template <>
std::optional<ProviderSession> fromJson<ProviderSession>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    FieldReader read(value.toObject());
    ProviderSession session;
    session.origin = read.address("origin");
    session.user = read.text("user");
    session.secret = read.text("secret");
    return finished(read, std::move(session));
}

} // namespace sendra
