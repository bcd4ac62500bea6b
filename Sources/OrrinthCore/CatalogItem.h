#pragma once

#include "OrrinthCore/ContentKind.h"

#include <QHashFunctions>
#include <QString>
#include <QUrl>

#include <cstddef>
#include <functional>
#include <optional>

namespace orrinth {

// The category name of an entry whose source names none.
inline QString uncategorizedCategoryName()
{
    return QStringLiteral("Sin categoría");
}

// One playable catalogue entry, identified by its id within its source. Immutable once built.
class CatalogItem
{
public:
    CatalogItem(QString id, QString name, QString categoryID, QString category, std::optional<QUrl> imageURL,
                QString extensionName, std::optional<ContentKind> kind, std::optional<QUrl> sourceURL);

    const QString &id() const { return m_id; }
    const QString &name() const { return m_name; }
    const QString &categoryID() const { return m_categoryID; }
    const QString &category() const { return m_category; }
    const std::optional<QUrl> &imageURL() const { return m_imageURL; }
    // File suffix of the stream, without the dot.
    const QString &extensionName() const { return m_extensionName; }
    std::optional<ContentKind> kind() const { return m_kind; }
    // The entry's own stream address (playlist entries).
    const std::optional<QUrl> &sourceURL() const { return m_sourceURL; }

    // All eight fields; addresses compare by their full text.
    friend bool operator==(const CatalogItem &a, const CatalogItem &b);

private:
    QString m_id;
    QString m_name;
    QString m_categoryID;
    QString m_category;
    std::optional<QUrl> m_imageURL;
    QString m_extensionName;
    std::optional<ContentKind> m_kind;
    std::optional<QUrl> m_sourceURL;
};

size_t qHash(const CatalogItem &item, size_t seed = 0) noexcept;

} // namespace orrinth

template <>
struct std::hash<orrinth::CatalogItem>
{
    size_t operator()(const orrinth::CatalogItem &item) const noexcept { return orrinth::qHash(item); }
};
