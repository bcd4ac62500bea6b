#include "catalog-gen/CoreM3UReference.h"

#include "NetKit/UrlCodec.h"
#include "OrrinthCore/Addresses.h"
#include "OrrinthCore/M3UParser.h"

#include <optional>

namespace sendra::testkit {

using namespace orrinth;

namespace {

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

// The value between the quotes of `key="..."`; missing when the key or the closing quote is absent.
std::optional<QString> attribute(QStringView line, QStringView key)
{
    const QString marker = key.toString() + QStringLiteral("=\"");
    const qsizetype start = line.indexOf(marker);
    if (start < 0)
        return std::nullopt;
    const qsizetype valueStart = start + marker.size();
    const qsizetype end = line.indexOf(u'"', valueStart);
    if (end < 0)
        return std::nullopt;
    return line.sliced(valueStart, end - valueStart).toString();
}

QStringView trimmedHorizontal(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.sliced(begin, end - begin);
}

// The text after the first comma; without one (or with nothing after it) the text before it.
QString displayName(QStringView infoLine)
{
    const qsizetype comma = infoLine.indexOf(u',');
    if (comma < 0)
        return trimmedHorizontal(infoLine).toString();
    const QStringView after = infoLine.sliced(comma + 1);
    return trimmedHorizontal(after.isEmpty() ? infoLine.first(comma) : after).toString();
}

// An id of white space only (a stray byte-order mark included) counts as none: such entries would share one id.
bool isBlank(QStringView text)
{
    for (const QChar c : text)
        if (!c.isSpace() && c != QChar(0xFEFF))
            return false;
    return true;
}

// A stream address: absolute, of a scheme media is streamed over from a server. A placeholder line
// ("[NO STREAM]"), a relative path or a local file is no address.
std::optional<QUrl> streamAddress(QStringView line)
{
    auto url = parseAddress(line.toString());
    if (!url || url->isRelative() || !netkit::isNetworkStreamScheme(url->scheme()))
        return std::nullopt;
    return url;
}

CatalogItem itemFor(QStringView infoLine, QStringView addressLine, QUrl address)
{
    const QString category = attribute(infoLine, u"group-title").value_or(uncategorizedCategoryName());
    const auto logo = attribute(infoLine, u"tvg-logo");
    auto id = attribute(infoLine, u"tvg-id");
    if (!id || isBlank(*id))
        id = M3UParser::fallbackID(addressLine);
    return CatalogItem(std::move(*id), displayName(infoLine), QString(), category,
                       logo ? parseAddress(*logo) : std::nullopt, QString(),
                       M3UParser::inferKind(category, addressLine), std::move(address));
}

} // namespace

QList<CatalogItem> parseM3UPlainly(QStringView text)
{
    QList<CatalogItem> items;
    QStringView pendingInfo; // the latest info line still waiting for its address; empty when none
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text[i]))
            continue;
        const QStringView line = text.sliced(lineStart, i - lineStart).trimmed();
        lineStart = i + 1;
        if (line.startsWith(u"#EXTINF:")) {
            pendingInfo = line;
        } else if (!line.isEmpty() && !line.startsWith(u'#') && !pendingInfo.isEmpty()) {
            if (auto address = streamAddress(line)) {
                items.append(itemFor(pendingInfo, line, std::move(*address)));
                pendingInfo = {};
            }
        }
    }
    return items;
}

} // namespace sendra::testkit
