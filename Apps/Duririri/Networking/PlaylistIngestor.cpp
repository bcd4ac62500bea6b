#include "Networking/PlaylistIngestor.h"

#include "Domain/CommandError.h"
#include "Domain/CenterContentPolicy.h"
#include "Networking/AddressReader.h"
#include "Networking/BackgroundWork.h"
#include "Networking/BytesMap.h"
#include "Networking/LargeList.h"
#include "Networking/TextFold.h"

#include <QCryptographicHash>

#include <simdjson.h>

#include <array>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
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

// Where the next line end at or after `i` starts (the text's size when there is none), and its length.
// Eight bytes at a time while all of them are ASCII above CR, which is nearly all of a playlist.
std::size_t findLineEnd(std::string_view text, std::size_t i, std::size_t& length)
{
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highs = 0x8080808080808080ULL;
    const char* data = text.data();
    const std::size_t size = text.size();
    while (i < size) {
        if (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, data + i, 8);
            // A byte below 0x0E or from 0x80 up anywhere in the word sends it to the byte-wise look.
            if (((((word - ones * 0x0E) & ~word) | word) & highs) == 0) {
                i += 8;
                continue;
            }
        }
        for (const std::size_t stop = std::min(size, i + 8); i < stop; ++i) {
            if (kLineEndLead[static_cast<unsigned char>(data[i])] && (length = lineEndLength(text, i)) > 0)
                return i;
        }
    }
    length = 0;
    return size;
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

// The three attributes read from an information line. Each is the text after the first `name="` anywhere in
// the line (case-sensitive) up to the next double quote; absent without that occurrence or without the closing
// quote. One pass over the line's `="` pairs finds all three.
struct Attributes
{
    std::optional<std::string_view> tvgId;
    std::optional<std::string_view> tvgLogo;
    std::optional<std::string_view> groupTitle;

    explicit Attributes(std::string_view line)
    {
        std::size_t equals = line.find("=\"");
        while (equals != std::string_view::npos && !(tvgId && tvgLogo && groupTitle)) {
            const std::string_view name = line.substr(0, equals);
            const auto value = [&]() -> std::optional<std::string_view> {
                const std::size_t close = line.find('"', equals + 2);
                if (close == std::string_view::npos)
                    return std::nullopt;
                return line.substr(equals + 2, close - equals - 2);
            };
            if (!tvgId && name.ends_with("tvg-id"))
                tvgId = value();
            else if (!tvgLogo && name.ends_with("tvg-logo"))
                tvgLogo = value();
            else if (!groupTitle && name.ends_with("group-title"))
                groupTitle = value();
            equals = line.find("=\"", equals + 1);
        }
    }
};

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

// UUID version 5 (SHA-1, RFC 4122) of a name in the URL namespace, as upper-case text. One hasher serves a whole
// playlist, so an id costs one string and no other allocation.
class NameUuid
{
public:
    QString of(std::string_view name)
    {
        static constexpr unsigned char kUrlNamespace[16] = {0x6b, 0xa7, 0xb8, 0x11, 0x9d, 0xad, 0x11, 0xd1,
                                                            0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
        m_hash.reset();
        m_hash.addData(QByteArrayView(kUrlNamespace, sizeof kUrlNamespace));
        m_hash.addData(QByteArrayView(name.data(), qsizetype(name.size())));
        const QByteArrayView digest = m_hash.resultView();
        unsigned char bytes[16];
        std::memcpy(bytes, digest.data(), sizeof bytes);
        bytes[6] = (bytes[6] & 0x0F) | 0x50; // version 5
        bytes[8] = (bytes[8] & 0x3F) | 0x80; // RFC 4122 variant
        static constexpr char16_t kHex[] = u"0123456789ABCDEF";
        QString text(36, Qt::Uninitialized);
        QChar* out = text.data();
        for (int i = 0; i < 16; ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10)
                *out++ = u'-';
            *out++ = kHex[bytes[i] >> 4];
            *out++ = kHex[bytes[i] & 0x0F];
        }
        return text;
    }

private:
    QCryptographicHash m_hash{QCryptographicHash::Sha1};
};

// An upper bound of the entries, so the list is allocated once.
qsizetype countInformationLines(std::string_view text)
{
    qsizetype count = 0;
    for (std::size_t at = text.find("#EXTINF"); at != std::string_view::npos; at = text.find("#EXTINF", at + 7))
        ++count;
    return count;
}

class PlaylistBuilder
{
public:
    QList<MediaNode> nodes;

    void add(std::string_view info, std::string_view addressLine, QUrl address)
    {
        MediaNode node;
        const Attributes attributes(info);
        node.id = attributes.tvgId && !attributes.tvgId->empty() ? fromUtf8(*attributes.tvgId)
                                                                 : m_fallbackIds.of(addressLine);
        node.title = titleOf(info);
        const Group& group = groupOf(attributes.groupTitle);
        node.groupID = group.id;
        node.groupName = group.name;
        if (attributes.tvgLogo)
            node.artwork = m_addresses.read(*attributes.tvgLogo);
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
        const std::string_view key = title.value_or("Contenido");
        auto found = m_groups.find(key);
        if (found == m_groups.end()) {
            const QString name = fromUtf8(key);
            Group group{QStringLiteral("group:") + name.toLower(), name, CenterContentPolicy::normalize(name).toStdString()};
            found = m_groups.emplace(std::string(key), std::move(group)).first;
        }
        return found->second;
    }

    AddressReader m_addresses;
    NameUuid m_fallbackIds;
    BytesMap<Group> m_groups;
    std::string m_foldedAddress;
};

} // namespace

PlaylistIngestor::PlaylistIngestor(netkit::HttpSession session)
    : m_session(std::move(session))
{
}

QString PlaylistIngestor::fallbackId(QByteArrayView addressLine)
{
    return NameUuid().of(std::string_view(addressLine.data(), std::size_t(addressLine.size())));
}

QList<MediaNode> PlaylistIngestor::parse(QByteArrayView utf8)
{
    std::string_view text(utf8.data(), std::size_t(utf8.size()));
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    PlaylistBuilder builder;
    reserveLarge(builder.nodes, countInformationLines(text));
    std::string_view pending; // the information line waiting for its address line
    bool hasPending = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t endLength = 0;
        const std::size_t end = findLineEnd(text, pos, endLength);
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
    // Named before the co_await: g++ 12 destroys a lambda temporary written inside one twice.
    auto read = [body = response.body] {
        // The strict check: a truncated last sequence counts as invalid too.
        if (!simdjson::validate_utf8(body.constData(), std::size_t(body.size())))
            throw CommandFailure(CommandError::invalidResponse);
        return parse(body);
    };
    QList<MediaNode> nodes = co_await runInBackground(std::move(read));
    if (nodes.isEmpty())
        throw CommandFailure(CommandError::emptyCatalog);
    co_return nodes;
}

} // namespace sendra
