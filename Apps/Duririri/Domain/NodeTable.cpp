#include "Domain/NodeTable.h"

#include <algorithm>
#include <cstring>

namespace sendra {

namespace {

// Beyond this many distinct address directories, addresses are kept whole: a list whose every address has a
// directory of its own gains nothing from sharing them.
constexpr size_t kMaxPrefixes = 4096;

std::string groupKey(const QString& id, const QString& name)
{
    std::string key = id.toStdString();
    key.push_back('\0');
    key += name.toStdString();
    return key;
}

// Decodes UTF-8 `text` into `out`, which has room for text.size() units; returns the units written. Valid UTF-8
// decodes exactly as QString::fromUtf8 decodes it (a byte-order mark at the very start is dropped); an invalid
// byte becomes U+FFFD. A sequence never gives more units than it has bytes.
size_t decodeUtf8(std::string_view text, char16_t* out)
{
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    if (size >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF)
        i = 3;
    char16_t* const start = out;
    const auto continuation = [&](size_t at) { return at < size && (in[at] & 0xC0) == 0x80; };
    while (i < size) {
        const unsigned char lead = in[i];
        if (lead < 0x80) {
            *out++ = lead;
            ++i;
        } else if (lead >= 0xC2 && lead < 0xE0 && continuation(i + 1)) {
            *out++ = char16_t((lead & 0x1F) << 6 | (in[i + 1] & 0x3F));
            i += 2;
        } else if (lead >= 0xE0 && lead < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
            const char32_t c = (lead & 0x0F) << 12 | (in[i + 1] & 0x3F) << 6 | (in[i + 2] & 0x3F);
            if (c < 0x800 || (c >= 0xD800 && c < 0xE000)) {
                *out++ = 0xFFFD;
                ++i;
                continue;
            }
            *out++ = char16_t(c);
            i += 3;
        } else if (lead >= 0xF0 && lead < 0xF5 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
            const char32_t c = (lead & 0x07) << 18 | (in[i + 1] & 0x3F) << 12 | (in[i + 2] & 0x3F) << 6 |
                               (in[i + 3] & 0x3F);
            if (c < 0x10000 || c > 0x10FFFF) {
                *out++ = 0xFFFD;
                ++i;
                continue;
            }
            *out++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
            *out++ = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
            i += 4;
        } else {
            *out++ = 0xFFFD;
            ++i;
        }
    }
    return size_t(out - start);
}

} // namespace

template<class T>
uint32_t NodeTable::Blocks<T>::reserve(size_t length)
{
    // An empty text still gets a place of its own inside a block.
    length = std::max<size_t>(length, 1);
    if (m_blocks.empty() || m_used + length > m_last) {
        m_last = std::max<size_t>(blockSize, length);
        m_blocks.push_back(std::make_unique_for_overwrite<T[]>(m_last));
        m_capacity += m_last;
        m_used = 0;
    }
    const uint32_t place = uint32_t((m_blocks.size() - 1) << 16 | m_used);
    m_used += length;
    return place;
}

template<class T>
void NodeTable::Blocks<T>::shrinkLast(uint32_t place, size_t reserved, size_t used)
{
    if ((place >> 16) == m_blocks.size() - 1 && (place & 0xFFFF) + reserved == m_used)
        m_used -= reserved - used;
}

template<class T>
uint32_t NodeTable::Blocks<T>::adopt(Blocks&& other)
{
    const auto shift = uint32_t(m_blocks.size() << 16);
    if (other.m_blocks.empty())
        return shift;
    for (auto& block : other.m_blocks)
        m_blocks.push_back(std::move(block));
    m_used = other.m_used;
    m_last = other.m_last;
    m_capacity += other.m_capacity;
    other = Blocks();
    return shift;
}

NodeTable::NodeTable()
{
    m_texts.emplace_back();
}

NodeTable::NodeTable(const QList<MediaNode>& nodes)
    : NodeTable()
{
    reserve(nodes.size());
    for (const MediaNode& node : nodes)
        append(node);
}

NodeTable::NodeTable(NodeTable&&) noexcept = default;
NodeTable& NodeTable::operator=(NodeTable&&) noexcept = default;
NodeTable::~NodeTable() = default;

QStringView NodeTable::id(qsizetype index) const
{
    const Row& row = m_rows[size_t(index)];
    return QStringView(m_chars.data(row.text), qsizetype(row.idLength));
}

QStringView NodeTable::title(qsizetype index) const
{
    const Row& row = m_rows[size_t(index)];
    return QStringView(m_chars.data(row.text) + row.idLength, qsizetype(row.titleLength));
}

std::optional<AddressText> NodeTable::address(uint32_t prefix, uint32_t place, uint32_t length) const
{
    if (prefix == noAddress)
        return std::nullopt;
    const QByteArray& head = m_prefixes[prefix - 1];
    QByteArray text(head.size() + qsizetype(length), Qt::Uninitialized);
    std::memcpy(text.data(), head.constData(), size_t(head.size()));
    if (length)
        std::memcpy(text.data() + head.size(), m_bytes.data(place), length);
    return AddressText::fromEncoded(std::move(text));
}

MediaNode NodeTable::at(qsizetype index) const
{
    const Row& row = m_rows[size_t(index)];
    MediaNode node;
    node.id = id(index).toString();
    node.title = title(index).toString();
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

uint32_t NodeTable::addGroup(const QString& id, const QString& name)
{
    auto [found, added] = m_groupIndex.try_emplace(groupKey(id, name), uint32_t(m_groups.size()));
    if (added)
        m_groups.push_back({id, name});
    return found->second;
}

void NodeTable::renameGroup(uint32_t group, const QString& id, const QString& name)
{
    m_groupIndex.erase(groupKey(m_groups[group].id, m_groups[group].name));
    m_groups[group] = {id, name};
    m_groupIndex.try_emplace(groupKey(id, name), group);
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

uint32_t NodeTable::addPrefix(QByteArrayView prefix)
{
    const std::string_view key(prefix.data(), size_t(prefix.size()));
    if (const auto found = m_prefixIndex.find(key); found != m_prefixIndex.end())
        return found->second;
    if (m_prefixes.size() >= kMaxPrefixes)
        return 0;
    m_prefixes.push_back(prefix.toByteArray());
    const auto index = uint32_t(m_prefixes.size());
    m_prefixIndex.emplace(std::string_view(m_prefixes.back().constData(), key.size()), index);
    return index;
}

uint32_t NodeTable::storeAddress(QByteArrayView address, uint32_t& place, uint32_t& length)
{
    if (m_prefixes.empty())
        addPrefix({}); // prefix 1: nothing, for addresses kept whole
    // The directory: up to the last "/" before any query or fragment.
    const char* text = address.data();
    const auto size = size_t(address.size());
    const size_t query = std::min(size_t(std::find(text, text + size, '?') - text), size);
    const size_t end = std::min(query, size_t(std::find(text, text + query, '#') - text));
    const char* slash = end ? static_cast<const char*>(memrchr(text, '/', end)) : nullptr;
    qsizetype cut = slash ? qsizetype(slash - text) + 1 : 0;
    // Neighbours mostly share their directory: the last one is tried before the table.
    uint32_t prefix = 0;
    if (m_lastPrefix != 0 && cut > 0 && m_prefixes[m_lastPrefix - 1].size() == cut &&
        std::memcmp(m_prefixes[m_lastPrefix - 1].constData(), text, size_t(cut)) == 0)
        prefix = m_lastPrefix;
    else
        prefix = m_lastPrefix = addPrefix(address.first(cut));
    if (prefix == 0) {
        prefix = 1;
        cut = 0;
    }
    length = uint32_t(address.size() - cut);
    place = length ? m_bytes.reserve(length) : 0;
    if (length)
        std::memcpy(m_bytes.data(place), address.data() + cut, length);
    return prefix;
}

uint32_t NodeTable::storeTexts(QStringView id, QStringView title)
{
    const size_t length = size_t(id.size() + title.size());
    const uint32_t place = m_chars.reserve(length);
    char16_t* out = m_chars.data(place);
    std::copy_n(reinterpret_cast<const char16_t*>(id.utf16()), id.size(), out);
    std::copy_n(reinterpret_cast<const char16_t*>(title.utf16()), title.size(), out + id.size());
    return place;
}

void NodeTable::append(const MediaNode& node)
{
    Row row{};
    row.text = storeTexts(node.id, node.title);
    row.idLength = uint32_t(node.id.size());
    row.titleLength = uint32_t(node.title.size());
    row.group = addGroup(node.groupID, node.groupName);
    if (node.artwork)
        row.artworkPrefix = storeAddress(node.artwork->encoded(), row.artwork, row.artworkLength);
    if (node.directURL)
        row.directURLPrefix = storeAddress(node.directURL->encoded(), row.directURL, row.directURLLength);
    row.suffix = addText(node.fileSuffix.isNull() ? QStringView(u"") : QStringView(node.fileSuffix));
    row.classification = node.contentClassification ? addText(QStringView(*node.contentClassification)) : nullText;
    if (node.contentClassification && node.contentClassification->isNull())
        row.classification = addText(QStringView(u""));
    row.kind = uint8_t(node.kind);
    m_rows.push_back(row);
}

void NodeTable::append(const RawNode& node)
{
    Row row{};
    // UTF-16 never takes more units than UTF-8 takes bytes.
    const size_t room = node.id.size() + node.title.size();
    row.text = m_chars.reserve(room);
    char16_t* out = m_chars.data(row.text);
    row.idLength = uint32_t(decodeUtf8(node.id, out));
    row.titleLength = uint32_t(decodeUtf8(node.title, out + row.idLength));
    m_chars.shrinkLast(row.text, room, row.idLength + row.titleLength);
    appendRow(row, node);
}

void NodeTable::append(const RawNode& node, QStringView id, QStringView title)
{
    Row row{};
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
    // Prefixes that no longer fit are put back in front of their rest, as new text.
    std::vector<uint32_t> prefixes(other.m_prefixes.size() + 1, noAddress);
    for (size_t p = 0; p < other.m_prefixes.size(); ++p)
        prefixes[p + 1] = other.m_prefixes[p].isEmpty() ? (m_prefixes.empty() ? addPrefix({}) : 1)
                                                        : addPrefix(other.m_prefixes[p]);
    const uint32_t charShift = m_chars.adopt(std::move(other.m_chars));
    const uint32_t byteShift = m_bytes.adopt(std::move(other.m_bytes));
    m_rows.reserve(m_rows.size() + other.m_rows.size());
    const auto moveAddress = [&](uint32_t& prefix, uint32_t& place, uint32_t& length) {
        if (prefix == noAddress)
            return;
        const uint32_t mapped = prefixes[prefix];
        if (mapped != 0) {
            prefix = mapped;
            place = length ? place + byteShift : 0;
            return;
        }
        QByteArray whole = other.m_prefixes[prefix - 1];
        if (length)
            whole.append(m_bytes.data(place + byteShift), qsizetype(length));
        prefix = storeAddress(whole, place, length);
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

size_t NodeTable::bytes() const
{
    size_t total = m_rows.capacity() * sizeof(Row) + m_chars.bytes() + m_bytes.bytes();
    for (const QByteArray& prefix : m_prefixes)
        total += size_t(prefix.capacity()) + 64;
    total += m_groups.size() * (sizeof(Group) + 64) + m_texts.size() * 64;
    return total;
}

bool operator==(const NodeTable& a, const NodeTable& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a.at(i) != b.at(i))
            return false;
    return true;
}

} // namespace sendra
