#include "Domain/NodeTable.h"

#include <algorithm>
#include <cstring>

namespace sendra {

namespace {

std::string groupKey(const QString& id, const QString& name)
{
    std::string key = id.toStdString();
    key.push_back('\0');
    key += name.toStdString();
    return key;
}

} // namespace

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
    return AddressText::fromEncoded(m_addresses.text(prefix, place, length));
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
    // A null text and an empty one compare equal: both are kept as the empty text, so nullText keeps meaning "none".
    const auto present = [this](const QString& text) { return addText(text.isNull() ? QStringView(u"") : QStringView(text)); };
    row.suffix = present(node.fileSuffix);
    row.classification = node.contentClassification ? present(*node.contentClassification) : nullText;
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
    row.idLength = uint32_t(netkit::decodeUtf8(node.id, out));
    row.titleLength = uint32_t(netkit::decodeUtf8(node.title, out + row.idLength));
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

} // namespace sendra
