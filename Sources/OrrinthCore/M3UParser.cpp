#include "OrrinthCore/M3UParser.h"

#include "NetKit/AddressReader.h"
#include "NetKit/HashSeed.h"
#include "NetKit/PlaylistText.h"

#include <QByteArray>

#include <array>
#include <charconv>

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
std::string_view displayName(std::string_view infoLine)
{
    const std::size_t comma = infoLine.find(',');
    if (comma == std::string_view::npos)
        return trimmedHorizontal(infoLine);
    const std::string_view after = infoLine.substr(comma + 1);
    return trimmedHorizontal(after.empty() ? infoLine.substr(0, comma) : after);
}

// 64-bit FNV-1a over the UTF-8 bytes (see M3UParser::fallbackID), as decimal text.
std::string_view fallbackIdOf(std::string_view addressLine, std::array<char, 24>& digits)
{
    quint64 hash = 0xcbf29ce484222325ULL;
    for (const char byte : addressLine) {
        hash ^= quint8(byte);
        hash *= 0x100000001b3ULL;
    }
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), qint64(hash));
    return std::string_view(digits.data(), std::size_t(written.ptr - digits.data()));
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

struct Category
{
    uint32_t index; // in the table
    KindHint hint;
};

class ItemBuilder
{
public:
    CatalogTable table;

    // The stream address of an address line as its encoded text; nothing when the line is none.
    std::optional<QByteArrayView> stream(std::string_view line)
    {
        return encoded(m_streams, &netkit::AddressReader::readStream, line, m_streamScratch);
    }

    void add(std::string_view infoLine, std::string_view addressLine, QByteArrayView address)
    {
        const scan::Attributes attributes(infoLine);
        const Category& category = categoryOf(attributes.groupTitle);
        CatalogTable::Entry entry;
        if (attributes.tvgLogo)
            entry.image = encoded(m_logos, &netkit::AddressReader::read, *attributes.tvgLogo, m_logoScratch);
        // An id of white space only (a stray byte-order mark included) counts as none: such entries would share
        // one id.
        std::array<char, 24> digits;
        entry.id = attributes.tvgId && !scan::trimmed(*attributes.tvgId).empty() ? *attributes.tvgId
                                                                                 : fallbackIdOf(addressLine, digits);
        entry.name = displayName(infoLine);
        entry.category = category.index;
        const KindHint inAddress = kindHint(addressLine);
        entry.kind = category.hint.series || inAddress.series ? ContentKind::series
                     : category.hint.movie || inAddress.movie ? ContentKind::movie
                                                              : ContentKind::live;
        entry.source = address;
        table.append(entry);
    }

private:
    // The encoded text of the address `read` makes of `bytes`: `bytes` themselves when the reader keeps them as
    // written, else the text in `scratch`; nothing when there is no address.
    using Read = std::optional<QUrl> (netkit::AddressReader::*)(std::string_view);
    static std::optional<QByteArrayView> encoded(netkit::AddressReader& reader, Read read, std::string_view bytes,
                                                 QByteArray& scratch)
    {
        if (reader.keepsAsWritten(bytes))
            return QByteArrayView(bytes.data(), qsizetype(bytes.size()));
        const std::optional<QUrl> url = (reader.*read)(bytes);
        if (!url)
            return std::nullopt;
        scratch = url->toEncoded();
        return scratch.isNull() ? QByteArrayView("") : QByteArrayView(scratch); // an address is never null
    }

    // Playlists list a category's entries together: the last one is tried before the map, and every item of a
    // category shares its entry in the table.
    const Category& categoryOf(std::optional<std::string_view> title)
    {
        if (!title) {
            if (!m_uncategorized) {
                const QString name = uncategorizedCategoryName();
                m_uncategorized = Category{table.addCategory(QString(), name), kindHint(name.toStdString())};
            }
            return *m_uncategorized;
        }
        if (m_last && m_last->first == *title)
            return m_last->second;
        auto found = m_categories.find(*title);
        if (found == m_categories.end()) {
            const Category category{table.addCategory(QString(), fromUtf8(*title)), kindHint(*title)};
            found = m_categories.emplace(std::string(*title), category).first;
        }
        m_last = &*found;
        return found->second;
    }

    netkit::AddressReader m_streams{QUrl::StrictMode};
    netkit::AddressReader m_logos{QUrl::StrictMode};
    QByteArray m_streamScratch;
    QByteArray m_logoScratch;
    std::unordered_map<std::string, Category, netkit::SeededTextHash, std::equal_to<>> m_categories;
    const std::pair<const std::string, Category>* m_last = nullptr;
    std::optional<Category> m_uncategorized;
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

CatalogTable M3UParser::parseTable(QStringView text) const
{
    ItemBuilder builder;
    builder.table.reserve(text.count(u"#EXTINF:"));
    // The latest info line still waiting for its address (empty: none; an info line never is), and its own copy
    // once its slice is gone.
    std::string_view pendingInfo;
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
            } else if (!line.empty() && line.front() != '#' && !pendingInfo.empty()) {
                if (const auto address = builder.stream(line)) {
                    builder.add(pendingInfo, line, *address);
                    pendingInfo = {};
                }
            }
        }
        if (!pendingInfo.empty() && pendingInfo.data() != pendingCopy.data()) {
            pendingCopy.assign(pendingInfo);
            pendingInfo = pendingCopy;
        }
    }
    builder.table.releaseSpare();
    return std::move(builder.table);
}

QList<CatalogItem> M3UParser::parse(QStringView text) const
{
    return parseTable(text).toList();
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
    std::array<char, 24> digits;
    return QString::fromLatin1(fallbackIdOf(std::string_view(bytes.constData(), std::size_t(bytes.size())), digits));
}

} // namespace orrinth
