#pragma once

#include "OrrinthCore/CatalogItem.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace orrinth {

class CatalogCategory
{
public:
    CatalogCategory(QString id, QString name) : m_id(std::move(id)), m_name(std::move(name)) {}

    const QString &id() const { return m_id; }
    const QString &name() const { return m_name; }

    friend bool operator==(const CatalogCategory &, const CatalogCategory &) = default;

private:
    QString m_id;
    QString m_name;
};

inline size_t qHash(const CatalogCategory &category, size_t seed = 0) noexcept
{
    return qHashMulti(seed, category.id(), category.name());
}

// One prepared catalogue section (live channels, films or series) as the platform serves it.
class CatalogSection
{
public:
    CatalogSection(std::optional<qint64> version, std::optional<QString> section,
                   QList<CatalogCategory> categories, QList<CatalogItem> items)
        : m_version(version), m_section(std::move(section)), m_categories(std::move(categories))
        , m_items(std::move(items))
    {
    }

    std::optional<qint64> version() const { return m_version; }
    const std::optional<QString> &section() const { return m_section; }
    const QList<CatalogCategory> &categories() const { return m_categories; }
    // In the service's order.
    const QList<CatalogItem> &items() const { return m_items; }

private:
    std::optional<qint64> m_version;
    std::optional<QString> m_section;
    QList<CatalogCategory> m_categories;
    QList<CatalogItem> m_items;
};

// One rail of the prepared home page.
class CatalogRow
{
public:
    CatalogRow(QString id, QString title, QList<CatalogItem> items)
        : m_id(std::move(id)), m_title(std::move(title)), m_items(std::move(items))
    {
    }

    const QString &id() const { return m_id; }
    const QString &title() const { return m_title; }
    const QList<CatalogItem> &items() const { return m_items; }

private:
    QString m_id;
    QString m_title;
    QList<CatalogItem> m_items;
};

// The prepared home page.
class HomeCatalog
{
public:
    HomeCatalog(qint64 version, std::optional<CatalogItem> featured, QList<CatalogRow> rows)
        : m_version(version), m_featured(std::move(featured)), m_rows(std::move(rows))
    {
    }

    qint64 version() const { return m_version; }
    const std::optional<CatalogItem> &featured() const { return m_featured; }
    const QList<CatalogRow> &rows() const { return m_rows; }

private:
    qint64 m_version;
    std::optional<CatalogItem> m_featured;
    QList<CatalogRow> m_rows;
};

} // namespace orrinth
