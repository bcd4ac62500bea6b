#include "OrrinthCore/M3UParser.h"

#include "NetKit/AddressReader.h"
#include "NetKit/LargeList.h"
#include "NetKit/PlaylistText.h"

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace orrinth {

namespace {

namespace scan = netkit::playlist;

// Playlists run to hundreds of thousands of entries: the text is read once as UTF-8, line by line, with the
// byte scanning the application's reader uses; strings are made only for what an item keeps.

QString fromUtf8(std::string_view bytes)
{
    return netkit::utf8Text(bytes);
}

std::string_view trimmedHorizontal(std::string_view bytes)
{
    while (!bytes.empty() && (bytes.front() == ' ' || bytes.front() == '\t'))
        bytes.remove_prefix(1);
    while (!bytes.empty() && (bytes.back() == ' ' || bytes.back() == '\t'))
        bytes.remove_suffix(1);
    return bytes;
}

// The text after the first comma; without one (or with nothing after it) the text before it.
QString displayName(std::string_view infoLine)
{
    const std::size_t comma = infoLine.find(',');
    if (comma == std::string_view::npos)
        return fromUtf8(trimmedHorizontal(infoLine));
    const std::string_view after = infoLine.substr(comma + 1);
    return fromUtf8(trimmedHorizontal(after.empty() ? infoLine.substr(0, comma) : after));
}

// 64-bit FNV-1a over the UTF-8 bytes (see M3UParser::fallbackID).
QString fallbackIdOf(std::string_view addressLine)
{
    quint64 hash = 0xcbf29ce484222325ULL;
    for (const char byte : addressLine) {
        hash ^= quint8(byte);
        hash *= 0x100000001b3ULL;
    }
    return QString::number(qint64(hash));
}

// What the kind keywords found in one text say. The keywords hold no blank, so in "<group> <address>" each one
// lies wholly in the group or wholly in the address, and the two parts can be looked at apart.
struct KindHint
{
    bool series = false;
    bool movie = false;
};

// An ASCII text lower-cases byte by byte, so the keywords are found in place; any other text takes the lower-casing
// of QString, which may turn a letter outside ASCII into an ASCII one.
KindHint kindHint(std::string_view bytes)
{
    KindHint hint;
    if (!scan::isAscii(bytes)) {
        const QString lower = fromUtf8(bytes).toLower();
        hint.series = lower.contains(u"series");
        hint.movie = lower.contains(u"movie") || lower.contains(u"película") || lower.contains(u"vod");
        return hint;
    }
    const auto keywordAt = [&](std::size_t i, std::string_view keyword) {
        if (bytes.size() - i < keyword.size())
            return false;
        for (std::size_t k = 0; k < keyword.size(); ++k) {
            char c = bytes[i + k];
            if (c >= 'A' && c <= 'Z')
                c = char(c + ('a' - 'A'));
            if (c != keyword[k])
                return false;
        }
        return true;
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        switch (bytes[i] | 0x20) {
        case 's':
            hint.series = hint.series || keywordAt(i, "series");
            break;
        case 'm':
            hint.movie = hint.movie || keywordAt(i, "movie");
            break;
        case 'v':
            hint.movie = hint.movie || keywordAt(i, "vod");
            break;
        default:
            break;
        }
    }
    return hint;
}

struct BytesHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view bytes) const { return std::hash<std::string_view>{}(bytes); }
};

struct Category
{
    QString name;
    KindHint hint;
};

class ItemBuilder
{
    static QByteArray verbatim(std::string_view bytes) { return QByteArray(bytes.data(), qsizetype(bytes.size())); }

    // Never null for an address (see CatalogItem).
    static QByteArray encoded(const QUrl& url)
    {
        QByteArray text = url.toEncoded();
        return text.isNull() ? QByteArray("") : text;
    }

public:
    // The stream address of an address line as its encoded text; null when the line is none.
    QByteArray stream(std::string_view line)
    {
        if (m_streams.keepsAsWritten(line))
            return verbatim(line);
        const auto url = m_streams.readStream(line);
        return url ? encoded(*url) : QByteArray();
    }

    void add(QList<CatalogItem>& items, std::string_view infoLine, std::string_view addressLine, QByteArray address)
    {
        const scan::Attributes attributes(infoLine);
        const Category& category = categoryOf(attributes.groupTitle);
        QByteArray logo;
        if (attributes.tvgLogo) {
            if (m_logos.keepsAsWritten(*attributes.tvgLogo)) {
                logo = verbatim(*attributes.tvgLogo);
            } else if (const auto url = m_logos.read(*attributes.tvgLogo)) {
                logo = encoded(*url);
            }
        }
        // An id of white space only (a stray byte-order mark included) counts as none: such entries would share
        // one id.
        QString id = attributes.tvgId && !scan::trimmed(*attributes.tvgId).empty() ? fromUtf8(*attributes.tvgId)
                                                                                   : fallbackIdOf(addressLine);
        const KindHint inAddress = kindHint(addressLine);
        const ContentKind kind = category.hint.series || inAddress.series ? ContentKind::series
                                 : category.hint.movie || inAddress.movie ? ContentKind::movie
                                                                        : ContentKind::live;
        items.append(CatalogItem::withEncodedAddresses(std::move(id), displayName(infoLine), QString(), category.name,
                                                       std::move(logo), QString(), kind, std::move(address)));
    }

private:
    // Playlists list a category's entries together: the last one is tried before the map, and every item of a
    // category shares its name.
    const Category& categoryOf(std::optional<std::string_view> title)
    {
        if (!title)
            return m_uncategorized;
        if (m_last && m_last->first == *title)
            return m_last->second;
        auto found = m_categories.find(*title);
        if (found == m_categories.end())
            found = m_categories.emplace(std::string(*title), Category{fromUtf8(*title), kindHint(*title)}).first;
        m_last = &*found;
        return found->second;
    }

    netkit::AddressReader m_streams{QUrl::StrictMode};
    netkit::AddressReader m_logos{QUrl::StrictMode};
    std::unordered_map<std::string, Category, BytesHash, std::equal_to<>> m_categories;
    const std::pair<const std::string, Category>* m_last = nullptr;
    const Category m_uncategorized{uncategorizedCategoryName(), kindHint(uncategorizedCategoryName().toStdString())};
};

bool isLineBreak(char16_t c)
{
    return (c >= u'\n' && c <= u'\r') || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

// Where the slice that starts at `from` ends: just after the last line break within about `size` characters, so no
// line (and no surrogate pair) is cut; a longer line makes a longer slice.
qsizetype sliceEnd(QStringView text, qsizetype from, qsizetype size)
{
    if (text.size() - from <= size)
        return text.size();
    for (qsizetype i = from + size; i > from; --i)
        if (isLineBreak(text[i - 1].unicode()))
            return i;
    for (qsizetype i = from + size; i < text.size(); ++i)
        if (isLineBreak(text[i].unicode()))
            return i + 1;
    return text.size();
}

} // namespace

QList<CatalogItem> M3UParser::parse(QStringView text) const
{
    QList<CatalogItem> items;
    netkit::reserveLarge(items, text.count(u"#EXTINF:"));
    ItemBuilder builder;
    // The latest info line still waiting for its address, and its own copy once its slice is gone.
    std::optional<std::string_view> pendingInfo;
    std::string pendingCopy;
    // The text is read as UTF-8 a slice at a time: the bytes of the whole would cost up to three times its length.
    constexpr qsizetype kSlice = 256 * 1024;
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype to = sliceEnd(text, from, kSlice);
        const QByteArray utf8 = text.sliced(from, to - from).toUtf8();
        from = to;
        const std::string_view slice(utf8.constData(), std::size_t(utf8.size()));
        std::size_t pos = 0;
        while (pos <= slice.size()) {
            std::size_t endLength = 0;
            const std::size_t end = scan::findLineEnd(slice, pos, endLength);
            // The white space QStringView::trimmed() takes away: line ends are gone already, U+FEFF stays.
            const std::string_view line = scan::trimmed(slice.substr(pos, end - pos), false);
            pos = end + (endLength > 0 ? endLength : 1);
            if (line.starts_with("#EXTINF:")) {
                pendingInfo = line;
            } else if (!line.empty() && line.front() != '#' && pendingInfo) {
                if (QByteArray address = builder.stream(line); !address.isNull()) {
                    builder.add(items, *pendingInfo, line, std::move(address));
                    pendingInfo.reset();
                }
            }
        }
        if (pendingInfo && pendingInfo->data() != pendingCopy.data()) {
            pendingCopy.assign(*pendingInfo);
            pendingInfo = pendingCopy;
        }
    }
    return items;
}

ContentKind M3UParser::inferKind(QStringView group, QStringView url)
{
    const QString text = (group.toString() + u' ' + url.toString()).toLower();
    if (text.contains(u"series"))
        return ContentKind::series;
    if (text.contains(u"movie") || text.contains(u"película") || text.contains(u"vod"))
        return ContentKind::movie;
    return ContentKind::live;
}

QString M3UParser::fallbackID(QStringView addressLine)
{
    // 64-bit FNV-1a over the UTF-8 bytes: unseeded, so ids survive restarts and match across processes.
    const QByteArray bytes = addressLine.toUtf8();
    return fallbackIdOf(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

} // namespace orrinth
