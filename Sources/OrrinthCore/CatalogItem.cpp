#include "OrrinthCore/CatalogItem.h"

#include <utility>

namespace orrinth {

namespace {

QByteArray addressText(const std::optional<QUrl> &url)
{
    return url ? url->toEncoded() : QByteArray();
}

} // namespace

CatalogItem::CatalogItem(QString id, QString name, QString categoryID, QString category,
                         std::optional<QUrl> imageURL, QString extensionName, std::optional<ContentKind> kind,
                         std::optional<QUrl> sourceURL)
    : m_id(std::move(id))
    , m_name(std::move(name))
    , m_categoryID(std::move(categoryID))
    , m_category(std::move(category))
    , m_imageURL(std::move(imageURL))
    , m_extensionName(std::move(extensionName))
    , m_kind(kind)
    , m_sourceURL(std::move(sourceURL))
{
}

bool operator==(const CatalogItem &a, const CatalogItem &b)
{
    return a.m_id == b.m_id && a.m_name == b.m_name && a.m_categoryID == b.m_categoryID
        && a.m_category == b.m_category && a.m_imageURL.has_value() == b.m_imageURL.has_value()
        && addressText(a.m_imageURL) == addressText(b.m_imageURL) && a.m_extensionName == b.m_extensionName
        && a.m_kind == b.m_kind && a.m_sourceURL.has_value() == b.m_sourceURL.has_value()
        && addressText(a.m_sourceURL) == addressText(b.m_sourceURL);
}

size_t qHash(const CatalogItem &item, size_t seed) noexcept
{
    // Presence flags keep an absent field apart from any present value.
    const int kind = item.kind() ? static_cast<int>(*item.kind()) : -1;
    return qHashMulti(seed, item.id(), item.name(), item.categoryID(), item.category(),
                      item.imageURL().has_value(), addressText(item.imageURL()), item.extensionName(), kind,
                      item.sourceURL().has_value(), addressText(item.sourceURL()));
}

} // namespace orrinth
