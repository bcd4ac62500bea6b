#pragma once

#include "OrrinthCore/CatalogItem.h"

#include "NetKit/AddressStore.h"
#include "NetKit/Blocks.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace orrinth {

// Playlist entries in compact form, as a list of hundreds of thousands of them is best kept: one fixed-size row per
// entry, its id and name in shared UTF-16 blocks, its addresses as encoded text after a shared directory, and its
// category kept once for all the entries in it. Entries carry no extension name. `at` gives an item back exactly as
// it went in; the accessors read a field in place.
class CatalogTable
{
public:
    CatalogTable() = default;
    // Moved, never copied by accident: a copy of 600,000 entries is made entry by entry.
    CatalogTable(CatalogTable &&) noexcept = default;
    CatalogTable &operator=(CatalogTable &&) noexcept = default;
    CatalogTable(const CatalogTable &) = delete;
    CatalogTable &operator=(const CatalogTable &) = delete;

    CatalogItem at(qsizetype index) const;
    QList<CatalogItem> toList() const;
    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }

    QStringView id(qsizetype index) const;
    QStringView name(qsizetype index) const;
    const QString &categoryID(qsizetype index) const { return m_categories[row(index).category].id; }
    const QString &category(qsizetype index) const { return m_categories[row(index).category].name; }
    bool hasImage(qsizetype index) const { return row(index).imageDirectory != noAddress; }
    std::optional<QUrl> imageURL(qsizetype index) const;
    std::optional<ContentKind> kind(qsizetype index) const;
    std::optional<QUrl> sourceURL(qsizetype index) const;

    // Building, for the core's readers. A category (id and name) is added once and then named by its number.
    uint32_t addCategory(QString id, QString name);
    struct Entry
    {
        std::string_view id;   // UTF-8; a leading U+FEFF is a character like any other
        std::string_view name; // the same
        uint32_t category = 0;
        std::optional<QByteArrayView> image; // encoded address text (QUrl::toEncoded)
        std::optional<ContentKind> kind;
        std::optional<QByteArrayView> source;
    };
    void reserve(qsizetype rows);
    void append(const Entry &entry);
    // Gives back what the texts' memory holds beyond them, once the table is complete.
    void releaseSpare()
    {
        m_chars.releaseSpare();
        m_addresses.releaseSpare();
    }

private:
    static constexpr uint16_t noAddress = 0;
    static constexpr uint8_t noKind = 0xFF;
    struct Row
    {
        uint32_t text; // id, then name, in m_chars
        uint32_t idLength;
        uint32_t nameLength;
        uint32_t category;
        uint32_t image; // the part after the directory, in m_addresses
        uint32_t imageLength;
        uint32_t source;
        uint32_t sourceLength;
        uint16_t imageDirectory; // noAddress, or the directory in m_addresses (at most a few thousand)
        uint16_t sourceDirectory;
        uint8_t kind;
    };
    struct Category
    {
        QString id;
        QString name;
    };

    const Row &row(qsizetype index) const { return m_rows[size_t(index)]; }
    QByteArray address(uint16_t directory, uint32_t place, uint32_t length) const;
    uint16_t storeAddress(std::optional<QByteArrayView> address, uint32_t &place, uint32_t &length);

    std::vector<Row> m_rows;
    netkit::Blocks<char16_t> m_chars;
    netkit::AddressStore m_addresses;
    std::vector<Category> m_categories;
};

} // namespace orrinth
