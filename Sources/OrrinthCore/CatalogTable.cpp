#include "OrrinthCore/CatalogTable.h"

#include "NetKit/LargeList.h"

#include <utility>

namespace orrinth {

static_assert(netkit::AddressStore::maxDirectories < 0xFFFF, "a row keeps its directories in 16 bits");

QStringView CatalogTable::id(qsizetype index) const
{
    const Row &r = row(index);
    return QStringView(m_chars.data(r.text), qsizetype(r.idLength));
}

QStringView CatalogTable::name(qsizetype index) const
{
    const Row &r = row(index);
    return QStringView(m_chars.data(r.text) + r.idLength, qsizetype(r.nameLength));
}

QByteArray CatalogTable::address(uint16_t directory, uint32_t place, uint32_t length) const
{
    return directory == noAddress ? QByteArray() : m_addresses.text(directory, place, length);
}

std::optional<QUrl> CatalogTable::imageURL(qsizetype index) const
{
    const Row &r = row(index);
    if (r.imageDirectory == noAddress)
        return std::nullopt;
    return QUrl::fromEncoded(address(r.imageDirectory, r.image, r.imageLength));
}

std::optional<QUrl> CatalogTable::sourceURL(qsizetype index) const
{
    const Row &r = row(index);
    if (r.sourceDirectory == noAddress)
        return std::nullopt;
    return QUrl::fromEncoded(address(r.sourceDirectory, r.source, r.sourceLength));
}

std::optional<ContentKind> CatalogTable::kind(qsizetype index) const
{
    const uint8_t kind = row(index).kind;
    return kind == noKind ? std::nullopt : std::optional<ContentKind>(ContentKind(kind));
}

CatalogItem CatalogTable::at(qsizetype index) const
{
    const Row &r = row(index);
    const Category &category = m_categories[r.category];
    return CatalogItem::withEncodedAddresses(id(index).toString(), name(index).toString(), category.id, category.name,
                                             address(r.imageDirectory, r.image, r.imageLength),
                                             QString(), kind(index),
                                             address(r.sourceDirectory, r.source, r.sourceLength));
}

QList<CatalogItem> CatalogTable::toList() const
{
    QList<CatalogItem> items;
    netkit::reserveLarge(items, size());
    for (qsizetype i = 0; i < size(); ++i)
        items.append(at(i));
    return items;
}

uint32_t CatalogTable::addCategory(QString id, QString name)
{
    m_categories.push_back({std::move(id), std::move(name)});
    return uint32_t(m_categories.size() - 1);
}

void CatalogTable::reserve(qsizetype rows)
{
    m_rows.reserve(size_t(rows));
    netkit::adviseHugePages(m_rows.data(), m_rows.capacity() * sizeof(Row));
}

uint16_t CatalogTable::storeAddress(std::optional<QByteArrayView> address, uint32_t &place, uint32_t &length)
{
    place = length = 0;
    return address ? uint16_t(m_addresses.store(*address, place, length)) : noAddress;
}

void CatalogTable::append(const Entry &entry)
{
    Row r{};
    // UTF-16 never takes more units than UTF-8 takes bytes.
    const size_t room = entry.id.size() + entry.name.size();
    r.text = m_chars.reserve(room);
    char16_t *out = m_chars.data(r.text);
    r.idLength = uint32_t(netkit::decodeUtf8(entry.id, out, netkit::LeadingMark::keep));
    r.nameLength = uint32_t(netkit::decodeUtf8(entry.name, out + r.idLength, netkit::LeadingMark::keep));
    m_chars.shrinkLast(r.text, room, r.idLength + r.nameLength);
    r.category = entry.category;
    r.imageDirectory = storeAddress(entry.image, r.image, r.imageLength);
    r.sourceDirectory = storeAddress(entry.source, r.source, r.sourceLength);
    r.kind = entry.kind ? uint8_t(*entry.kind) : noKind;
    m_rows.push_back(r);
}

} // namespace orrinth
