#include "OrrinthCore/CatalogItem.h"

#include <utility>

namespace orrinth {

namespace {

// The stored form of an address: its fully encoded text, never null for a present one.
QByteArray encoded(const std::optional<QUrl> &url)
{
    if (!url)
        return QByteArray();
    QByteArray text = url->toEncoded();
    return text.isNull() ? QByteArray("") : text;
}

} // namespace

CatalogItem::CatalogItem(QString id, QString name, QString categoryID, QString category,
                         std::optional<QUrl> imageURL, QString extensionName, std::optional<ContentKind> kind,
                         std::optional<QUrl> sourceURL)
    : m_id(std::move(id))
    , m_name(std::move(name))
    , m_categoryID(std::move(categoryID))
    , m_category(std::move(category))
    , m_image(encoded(imageURL))
    , m_extensionName(std::move(extensionName))
    , m_kind(kind)
    , m_source(encoded(sourceURL))
{
}

CatalogItem CatalogItem::withEncodedAddresses(QString id, QString name, QString categoryID, QString category,
                                              QByteArray image, QString extensionName,
                                              std::optional<ContentKind> kind, QByteArray source)
{
    CatalogItem item(std::move(id), std::move(name), std::move(categoryID), std::move(category), std::nullopt,
                     std::move(extensionName), kind, std::nullopt);
    item.m_image = std::move(image);
    item.m_source = std::move(source);
    return item;
}

bool operator==(const CatalogItem &a, const CatalogItem &b)
{
    return a.m_id == b.m_id && a.m_name == b.m_name && a.m_categoryID == b.m_categoryID
        && a.m_category == b.m_category && a.m_image.isNull() == b.m_image.isNull() && a.m_image == b.m_image
        && a.m_extensionName == b.m_extensionName && a.m_kind == b.m_kind
        && a.m_source.isNull() == b.m_source.isNull() && a.m_source == b.m_source;
}

size_t qHash(const CatalogItem &item, size_t seed) noexcept
{
    // Presence flags keep an absent field apart from any present value.
    const int kind = item.kind() ? static_cast<int>(*item.kind()) : -1;
    return qHashMulti(seed, item.m_id, item.m_name, item.m_categoryID, item.m_category, item.m_image.isNull(),
                      item.m_image, item.m_extensionName, kind, item.m_source.isNull(), item.m_source);
}

} // namespace orrinth
