#include "Domain/NodeTable.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace sendra {

namespace {

std::string_view withoutLeadingMark(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return text;
}

// Where the first byte at or after `i` that is not ASCII stands; the text's size when there is none. Sixteen bytes at
// a time, the last sixteen (when there are that many) read as the text's last sixteen.
size_t nextNonAscii(std::string_view text, size_t i)
{
    const size_t size = text.size();
#ifdef __SSE2__
    const auto highBits = [&](size_t at) {
        return unsigned(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at))));
    };
    for (; i + 16 <= size; i += 16) {
        if (const unsigned high = highBits(i))
            return i + size_t(__builtin_ctz(high));
    }
    if (i < size && size >= 16) {
        const unsigned high = highBits(size - 16) >> (16 - (size - i));
        return high ? i + size_t(__builtin_ctz(high)) : size;
    }
#endif
    while (i < size && static_cast<unsigned char>(text[i]) < 0x80)
        ++i;
    return i;
}

// Whether `text` is UTF-8 that decodes without a replacement (titles are mostly ASCII with a few accents).
bool isValidUtf8(std::string_view text)
{
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    const auto continuation = [&](size_t at) { return at < size && (in[at] & 0xC0) == 0x80; };
    for (size_t i = nextNonAscii(text, 0); i < size; i = nextNonAscii(text, i)) {
        const unsigned char lead = in[i];
        if (lead >= 0xC2 && lead < 0xE0 && continuation(i + 1)) {
            i += 2;
        } else if (lead >= 0xE0 && lead < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
            const char32_t c = (lead & 0x0F) << 12 | (in[i + 1] & 0x3F) << 6 | (in[i + 2] & 0x3F);
            if (c < 0x800 || (c >= 0xD800 && c < 0xE000))
                return false;
            i += 3;
        } else if (lead >= 0xF0 && lead < 0xF5 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
            const char32_t c =
                (lead & 0x07) << 18 | (in[i + 1] & 0x3F) << 12 | (in[i + 2] & 0x3F) << 6 | (in[i + 3] & 0x3F);
            if (c < 0x10000 || c > 0x10FFFF)
                return false;
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

// Text that is not valid UTF-8, decoded as a reader's text is (an invalid byte becomes U+FFFD) and encoded again.
QByteArray repairedUtf8(std::string_view text)
{
    std::u16string units(text.size(), u'\0');
    units.resize(netkit::decodeUtf8(text, units.data(), netkit::LeadingMark::keep));
    return QStringView(units.data(), qsizetype(units.size())).toUtf8();
}

} // namespace

NodeTable::NodeTable()
{
    m_texts.emplace_back();
}

NodeTable::NodeTable(const QList<MediaNode>& nodes) : NodeTable()
{
    reserve(nodes.size());
    for (const MediaNode& node : nodes)
        append(node);
}

NodeTable::NodeTable(NodeTable&&) noexcept = default;
NodeTable& NodeTable::operator=(NodeTable&&) noexcept = default;
NodeTable::~NodeTable() = default;

QUtf8StringView NodeTable::id(qsizetype index) const
{
    const Row& row = m_rows[size_t(index)];
    return QUtf8StringView(m_chars.data(row.text), qsizetype(row.idLength));
}

QUtf8StringView NodeTable::title(qsizetype index) const
{
    const Row& row = m_rows[size_t(index)];
    return QUtf8StringView(m_chars.data(row.text) + row.idLength, qsizetype(row.titleLength));
}

QString NodeTable::text(QUtf8StringView utf8)
{
    QString text(utf8.size(), Qt::Uninitialized);
    text.truncate(qsizetype(netkit::decodeUtf8(std::string_view(utf8.data(), size_t(utf8.size())),
                                               reinterpret_cast<char16_t*>(text.data()), netkit::LeadingMark::keep)));
    return text;
}

QStringView NodeTable::text(QUtf8StringView utf8, std::u16string& units)
{
    units.resize(size_t(utf8.size()));
    const size_t length =
        netkit::decodeUtf8(std::string_view(utf8.data(), size_t(utf8.size())), units.data(), netkit::LeadingMark::keep);
    return QStringView(units.data(), qsizetype(length));
}

std::optional<AddressText> NodeTable::address(uint32_t prefix, uint32_t place, uint32_t length) const
{
    if (prefix == noAddress)
        return std::nullopt;
    return AddressText::fromEncoded(m_addresses.text(prefix, place, length));
}

MediaNode NodeTable::at(qsizetype index) const
{
    const Row& row = m_rows[size_t(index)];
    MediaNode node;
    node.id = text(id(index));
    node.title = text(title(index));
    node.groupID = m_groups[row.group].id;
    node.groupName = m_groups[row.group].name;
    node.artwork = address(row.artworkPrefix, row.artwork, row.artworkLength);
    node.fileSuffix = m_texts[row.suffix];
    node.kind = SignalKind(row.kind);
    node.directURL = address(row.directURLPrefix, row.directURL, row.directURLLength);
    if (row.classification != nullText)
        node.contentClassification = m_texts[row.classification];
    return node;
}

QList<MediaNode> NodeTable::toList() const
{
    QList<MediaNode> nodes;
    nodes.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        nodes.append(at(i));
    return nodes;
}

uint32_t NodeTable::indexGroup(uint32_t group, const QString& id, const QString& name)
{
    return m_groupIndex.findOrAddHashed(SeededHashing::hash(id, name), group, [&](uint32_t other) {
        return m_groups[other].id == id && m_groups[other].name == name;
    });
}

uint32_t NodeTable::addGroup(const QString& id, const QString& name)
{
    const auto next = uint32_t(m_groups.size());
    const uint32_t found = indexGroup(next, id, name);
    if (found == next)
        m_groups.push_back({id, name});
    return found;
}

void NodeTable::renameGroup(uint32_t group, const QString& id, const QString& name)
{
    // The slot of the group's old names stays, and no longer matches them: slots compare the group's names as
    // they are now.
    m_groups[group] = {id, name};
    indexGroup(group, id, name);
}

uint32_t NodeTable::addText(QStringView text)
{
    if (text.isNull())
        return nullText;
    auto [found, added] = m_textIndex.try_emplace(
        std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())), uint32_t(m_texts.size()));
    if (added)
        m_texts.push_back(text.toString());
    return found->second;
}

uint32_t NodeTable::storeTexts(std::string_view id, std::string_view title)
{
    const uint32_t place = m_chars.reserve(id.size() + title.size());
    char* out = m_chars.data(place);
    std::memcpy(out, id.data(), id.size());
    std::memcpy(out + id.size(), title.data(), title.size());
    return place;
}

void NodeTable::append(const MediaNode& node)
{
    Row row{};
    const QByteArray id = node.id.toUtf8();
    const QByteArray title = node.title.toUtf8();
    row.text = storeTexts(std::string_view(id.constData(), size_t(id.size())),
                          std::string_view(title.constData(), size_t(title.size())));
    row.idLength = uint32_t(id.size());
    row.titleLength = uint32_t(title.size());
    row.group = addGroup(node.groupID, node.groupName);
    if (node.artwork)
        row.artworkPrefix = storeAddress(node.artwork->encoded(), row.artwork, row.artworkLength);
    if (node.directURL)
        row.directURLPrefix = storeAddress(node.directURL->encoded(), row.directURL, row.directURLLength);
    // A null text and an empty one compare equal: both are kept as the empty text, so nullText keeps meaning "none".
    const auto present = [this](const QString& text) {
        return addText(text.isNull() ? QStringView(u"") : QStringView(text));
    };
    row.suffix = present(node.fileSuffix);
    row.classification = node.contentClassification ? present(*node.contentClassification) : nullText;
    row.kind = uint8_t(node.kind);
    m_rows.push_back(row);
}

void NodeTable::append(const RawNode& node)
{
    Row row{};
    // Kept as written when it is valid UTF-8, as almost every reader's text is.
    std::string_view id = withoutLeadingMark(node.id);
    std::string_view title = withoutLeadingMark(node.title);
    QByteArray repairedId;
    QByteArray repairedTitle;
    if (!isValidUtf8(id)) {
        repairedId = repairedUtf8(id);
        id = std::string_view(repairedId.constData(), size_t(repairedId.size()));
    }
    if (!isValidUtf8(title)) {
        repairedTitle = repairedUtf8(title);
        title = std::string_view(repairedTitle.constData(), size_t(repairedTitle.size()));
    }
    row.text = storeTexts(id, title);
    row.idLength = uint32_t(id.size());
    row.titleLength = uint32_t(title.size());
    appendRow(row, node);
}

void NodeTable::appendRow(Row row, const RawNode& node)
{
    row.group = node.group;
    if (node.artwork)
        row.artworkPrefix = storeAddress(*node.artwork, row.artwork, row.artworkLength);
    if (node.directURL)
        row.directURLPrefix = storeAddress(*node.directURL, row.directURL, row.directURLLength);
    row.suffix = node.fileSuffix == nullText ? addText(QStringView(u"")) : node.fileSuffix;
    row.classification = node.contentClassification;
    row.kind = uint8_t(node.kind);
    m_rows.push_back(row);
}

void NodeTable::append(NodeTable&& other)
{
    if (other.isEmpty())
        return;
    if (isEmpty() && m_groups.empty()) {
        *this = std::move(other);
        other.clear();
        return;
    }
    std::vector<uint32_t> groups(other.m_groups.size());
    for (size_t g = 0; g < groups.size(); ++g)
        groups[g] = addGroup(other.m_groups[g].id, other.m_groups[g].name);
    std::vector<uint32_t> texts(other.m_texts.size());
    for (size_t t = 1; t < texts.size(); ++t)
        texts[t] = addText(other.m_texts[t]);
    const auto addresses = m_addresses.adopt(std::move(other.m_addresses));
    const uint32_t charShift = m_chars.adopt(std::move(other.m_chars));
    m_rows.reserve(m_rows.size() + other.m_rows.size());
    const auto moveAddress = [&](uint32_t& prefix, uint32_t& place, uint32_t& length) {
        if (prefix != noAddress)
            m_addresses.rehome(addresses, prefix, place, length);
    };
    for (Row row : other.m_rows) {
        row.text += charShift;
        row.group = groups[row.group];
        row.suffix = texts[row.suffix];
        row.classification = texts[row.classification];
        moveAddress(row.artworkPrefix, row.artwork, row.artworkLength);
        moveAddress(row.directURLPrefix, row.directURL, row.directURLLength);
        m_rows.push_back(row);
    }
    other.clear();
}

NodeTable::Adoption NodeTable::adopt(NodeTable&& other, std::vector<Regrouped> regrouped)
{
    Adoption adoption;
    adoption.m_regrouped = std::move(regrouped);
    adoption.m_texts.assign(other.m_texts.size(), nullText);
    for (size_t t = 1; t < other.m_texts.size(); ++t)
        adoption.m_texts[t] = addText(other.m_texts[t]);
    adoption.m_addresses = m_addresses.adopt(std::move(other.m_addresses));
    adoption.m_charShift = m_chars.adopt(std::move(other.m_chars));
    adoption.m_at = m_rows.size();
    adoption.m_rows = std::move(other.m_rows);
    m_rows.resize(m_rows.size() + adoption.m_rows.size());
    other.clear();
    // A directory that found no room here makes its addresses new text, which cannot be stored from several
    // threads at once: such rows are written now.
    const auto& mapped = adoption.m_addresses.mapped;
    if (std::find(mapped.begin() + 1, mapped.end(), 0U) != mapped.end())
        fill(adoption);
    return adoption;
}

void NodeTable::fill(Adoption& adoption)
{
    Row* out = m_rows.data() + adoption.m_at;
    const auto moveAddress = [&](uint32_t& prefix, uint32_t& place, uint32_t& length) {
        if (prefix != noAddress)
            m_addresses.rehome(adoption.m_addresses, prefix, place, length);
    };
    for (Row row : adoption.m_rows) {
        const Regrouped& regrouped = adoption.m_regrouped[row.group];
        row.text += adoption.m_charShift;
        row.group = regrouped.group;
        row.kind = uint8_t(regrouped.kinds[row.kind]);
        row.suffix = adoption.m_texts[row.suffix];
        row.classification = adoption.m_texts[row.classification];
        moveAddress(row.artworkPrefix, row.artwork, row.artworkLength);
        moveAddress(row.directURLPrefix, row.directURL, row.directURLLength);
        *out++ = row;
    }
    decltype(adoption.m_rows)().swap(adoption.m_rows);
}

} // namespace sendra
