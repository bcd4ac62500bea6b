#pragma once

#include "OrrinthCore/ContentKind.h"

#include <QByteArray>
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

    // The same with the addresses given as the fully encoded text QUrl makes of them (QUrl::toEncoded()); a null
    // text is no address.
    static CatalogItem withEncodedAddresses(QString id, QString name, QString categoryID, QString category,
                                            QByteArray image, QString extensionName, std::optional<ContentKind> kind,
                                            QByteArray source);

    const QString &id() const { return m_id; }
    const QString &name() const { return m_name; }
    const QString &categoryID() const { return m_categoryID; }
    const QString &category() const { return m_category; }
    std::optional<QUrl> imageURL() const { return address(m_image); }
    // File suffix of the stream, without the dot.
    const QString &extensionName() const { return m_extensionName; }
    std::optional<ContentKind> kind() const { return m_kind; }
    // The entry's own stream address (playlist entries).
    std::optional<QUrl> sourceURL() const { return address(m_source); }

    // All eight fields; addresses compare by their full text.
    friend bool operator==(const CatalogItem &a, const CatalogItem &b);
    friend size_t qHash(const CatalogItem &item, size_t seed) noexcept;

private:
    // Addresses are kept as their fully encoded text (null: none); catalogues hold hundreds of thousands.
    static std::optional<QUrl> address(const QByteArray &text)
    {
        return text.isNull() ? std::nullopt : std::optional<QUrl>(QUrl::fromEncoded(text));
    }

    QString m_id;
    QString m_name;
    QString m_categoryID;
    QString m_category;
    QByteArray m_image;
    QString m_extensionName;
    std::optional<ContentKind> m_kind;
    QByteArray m_source;
};

size_t qHash(const CatalogItem &item, size_t seed = 0) noexcept;

} // namespace orrinth

template <>
struct std::hash<orrinth::CatalogItem>
{
    size_t operator()(const orrinth::CatalogItem &item) const noexcept { return orrinth::qHash(item); }
};
