#include "Networking/PlaylistIngestor.h"

#include "Domain/CommandError.h"
#include "Domain/CenterContentPolicy.h"
#include "Networking/AddressReader.h"
#include "Networking/BackgroundWork.h"
#include "Networking/TextFold.h"

#include <QHash>
#include <QUuid>

#include <simdjson.h>

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace sendra {

namespace {

using namespace std::chrono_literals;

constexpr auto kDownloadTimeout = 45s;

// Bytes that may start a line end: LF, VT, FF, CR, and the lead bytes of NEL (C2 85) and of the line and
// paragraph separators (E2 80 A8, E2 80 A9).
constexpr std::array<bool, 256> lineEndLeadTable()
{
    std::array<bool, 256> table{};
    for (const unsigned char c : {0x0A, 0x0B, 0x0C, 0x0D, 0xC2, 0xE2})
        table[c] = true;
    return table;
}
constexpr auto kLineEndLead = lineEndLeadTable();

// The length of the line end at `i`, or 0 when the bytes there are not one.
std::size_t lineEndLength(std::string_view text, std::size_t i)
{
    const auto at = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0; };
    switch (at(i)) {
    case 0x0A: case 0x0B: case 0x0C: case 0x0D: return 1;
    case 0xC2: return at(i + 1) == 0x85 ? 2 : 0;
    case 0xE2: return at(i + 1) == 0x80 && (at(i + 2) == 0xA8 || at(i + 2) == 0xA9) ? 3 : 0;
    default: return 0;
    }
}

// The length of the white space character that starts (or, with `atEnd`, ends) `text`; 0 when there is none.
// Besides blanks and tabs, the Unicode spaces a playlist edited in a word processor brings along.
std::size_t whiteSpaceLength(std::string_view text, bool atEnd)
{
    if (text.empty())
        return 0;
    const char edge = atEnd ? text.back() : text.front();
    if (edge == ' ' || edge == '\t')
        return 1;
    if (static_cast<unsigned char>(edge) < 0x80)
        return 0;
    static constexpr std::array<std::string_view, 17> kSpaces{
        "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",
        "\u2007", "\u2008", "\u2009", "\u200A", "\u202F", "\u205F", "\u3000", "\uFEFF"};
    for (const std::string_view space : kSpaces)
        if (atEnd ? text.ends_with(space) : text.starts_with(space))
            return space.size();
    return 0;
}

std::string_view trimmed(std::string_view text)
{
    while (const std::size_t n = whiteSpaceLength(text, false))
        text.remove_prefix(n);
    while (const std::size_t n = whiteSpaceLength(text, true))
        text.remove_suffix(n);
    return text;
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The value of `name="..."` (first occurrence, case-sensitive); nothing without the closing quote.
std::optional<std::string_view> attribute(std::string_view line, std::string_view nameWithEqualsQuote)
{
    const std::size_t start = line.find(nameWithEqualsQuote);
    if (start == std::string_view::npos)
        return std::nullopt;
    const std::size_t valueStart = start + nameWithEqualsQuote.size();
    const std::size_t close = line.find('"', valueStart);
    if (close == std::string_view::npos)
        return std::nullopt;
    return line.substr(valueStart, close - valueStart);
}

// The title: the text after the first comma outside a quoted attribute value (after the first comma at all when
// the quotes never balance), trimmed. A line without a usable comma is its own title.
QString titleOf(std::string_view line)
{
    std::size_t comma = std::string_view::npos;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ',' && !quoted) {
            comma = i;
            break;
        }
    }
    if (comma == std::string_view::npos)
        comma = line.find(',');
    if (comma == std::string_view::npos)
        return fromUtf8(trimmed(line));
    const std::string_view before = line.substr(0, comma);
    const std::string_view after = line.substr(comma + 1);
    const std::string_view piece = !after.empty() ? after : before;
    if (piece.empty())
        return QStringLiteral("Contenido");
    return fromUtf8(trimmed(piece));
}

class PlaylistBuilder
{
public:
    QList<MediaNode> nodes;

    void add(std::string_view info, std::string_view addressLine, QUrl address)
    {
        MediaNode node;
        const std::optional<std::string_view> tvgId = attribute(info, "tvg-id=\"");
        node.id = tvgId && !tvgId->empty() ? fromUtf8(*tvgId)
                                           : PlaylistIngestor::fallbackId(QByteArrayView(addressLine.data(), qsizetype(addressLine.size())));
        node.title = titleOf(info);
        const Group& group = groupOf(attribute(info, "group-title=\""));
        node.groupID = group.id;
        node.groupName = group.name;
        if (const auto logo = attribute(info, "tvg-logo=\""))
            node.artwork = m_addresses.read(*logo);
        node.kind = kindOf(group, addressLine);
        node.directURL = std::move(address);
        nodes.append(std::move(node));
    }

    std::optional<QUrl> address(std::string_view line) { return m_addresses.read(line); }

private:
    struct Group
    {
        QString id;
        QString name;
        std::string folded;
    };

    // The kind guess over the folded group name and address: "series" or "episode" before "movie", "pelicula"
    // or "vod", anywhere in either text; a live channel otherwise.
    SignalKind kindOf(const Group& group, std::string_view addressLine)
    {
        foldedLowerUtf8(addressLine, m_foldedAddress);
        const auto either = [&](std::string_view keyword) {
            return group.folded.find(keyword) != std::string::npos || m_foldedAddress.find(keyword) != std::string::npos;
        };
        if (either("series") || either("episode"))
            return SignalKind::episodic;
        if (either("movie") || either("pelicula") || either("vod"))
            return SignalKind::cinema;
        return SignalKind::broadcast;
    }

    const Group& groupOf(std::optional<std::string_view> title)
    {
        const QString name = title ? fromUtf8(*title) : QStringLiteral("Contenido");
        auto found = m_groups.constFind(name);
        if (found == m_groups.cend())
            found = m_groups.insert(name, Group{QStringLiteral("group:") + name.toLower(), name, CenterContentPolicy::normalize(name).toStdString()});
        return *found;
    }

    AddressReader m_addresses;
    QHash<QString, Group> m_groups;
    std::string m_foldedAddress;
};

} // namespace

PlaylistIngestor::PlaylistIngestor(netkit::HttpSession session)
    : m_session(std::move(session))
{
}

QString PlaylistIngestor::fallbackId(QByteArrayView addressLine)
{
    // RFC 4122's namespace for addresses: the id depends on nothing but the address line.
    static const QUuid kNamespace(QStringLiteral("6ba7b811-9dad-11d1-80b4-00c04fd430c8"));
    return QUuid::createUuidV5(kNamespace, addressLine.toByteArray()).toString(QUuid::WithoutBraces).toUpper();
}

QList<MediaNode> PlaylistIngestor::parse(QByteArrayView utf8)
{
    std::string_view text(utf8.data(), std::size_t(utf8.size()));
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    PlaylistBuilder builder;
    builder.nodes.reserve(qsizetype(text.size() / 400));
    std::string_view pending; // the information line waiting for its address line
    bool hasPending = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        std::size_t endLength = 0;
        for (; end < text.size(); ++end) {
            if (kLineEndLead[static_cast<unsigned char>(text[end])] && (endLength = lineEndLength(text, end)) > 0)
                break;
        }
        const std::string_view line = trimmed(text.substr(pos, end - pos));
        pos = end + endLength;
        if (line.empty())
            continue;
        if (line.starts_with("#EXTINF")) {
            pending = line;
            hasPending = true;
            continue;
        }
        if (line.front() == '#' || !hasPending)
            continue;
        if (auto address = builder.address(line)) {
            builder.add(pending, line, std::move(*address));
            hasPending = false;
        }
    }
    return std::move(builder.nodes);
}

QCoro::Task<QList<MediaNode>> PlaylistIngestor::download(QUrl address, netkit::CancelToken token) const
{
    return downloadWith(m_session, std::move(address), std::move(token));
}

QCoro::Task<QList<MediaNode>> PlaylistIngestor::downloadWith(netkit::HttpSession session, QUrl address,
                                                             netkit::CancelToken token)
{
    netkit::HttpRequest request;
    request.url = std::move(address);
    request.idleTimeout = kDownloadTimeout;
    const netkit::HttpResponse response = co_await session.send(std::move(request), token);
    netkit::throwIfCancelled(token);
    if (!response.isSuccess())
        throw CommandFailure(CommandError::invalidResponse);
    QList<MediaNode> nodes = co_await runInBackground([body = response.body] {
        // The strict check: a truncated last sequence counts as invalid too.
        if (!simdjson::validate_utf8(body.constData(), std::size_t(body.size())))
            throw CommandFailure(CommandError::invalidResponse);
        return parse(body);
    });
    if (nodes.isEmpty())
        throw CommandFailure(CommandError::emptyCatalog);
    co_return nodes;
}

} // namespace sendra
