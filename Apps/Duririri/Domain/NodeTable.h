#pragma once

#include "Domain/CatalogTypes.h"
#include "Domain/SeededTable.h"
#include "NetKit/AddressStore.h"
#include "NetKit/LargeArray.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <QUtf8StringView>

#include <array>

#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sendra {

// A catalogue's entries in compact form: one fixed-size row per entry, its id and title in shared UTF-8 blocks,
// its addresses as encoded text split after their last "/" so that the directory an address shares with others (a
// panel's or an image service's) is kept once, and group, suffix and kind texts kept once for all entries that
// carry them. A 200,000-entry catalogue takes about a third of the memory of the same entries as MediaNodes.
// Entries come back out as MediaNodes (`at`), exactly as they went in; the catalogue engine reads the texts it
// needs in place (`id`, `title`, `groupID`...).
class NodeTable
{
public:
    NodeTable();
    // The same entries, in the same order.
    NodeTable(const QList<MediaNode>& nodes);
    NodeTable(NodeTable&&) noexcept;
    NodeTable& operator=(NodeTable&&) noexcept;
    // Tables are moved, never copied by accident: a copy of 200,000 entries is made entry by entry.
    NodeTable(const NodeTable&) = delete;
    NodeTable& operator=(const NodeTable&) = delete;
    ~NodeTable();

    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }

    MediaNode at(qsizetype index) const;
    MediaNode operator[](qsizetype index) const { return at(index); }
    MediaNode first() const { return at(0); }
    MediaNode last() const { return at(size() - 1); }
    QList<MediaNode> toList() const;

    // Valid UTF-8: the characters the entry went in with (a reader's text without its leading byte-order mark).
    QUtf8StringView id(qsizetype index) const;
    QUtf8StringView title(qsizetype index) const;
    // Such a text as a QString, a leading byte-order mark kept (QString::fromUtf8 would drop it).
    static QString text(QUtf8StringView utf8);
    // The same into `units`, which it resizes; the view is valid until `units` changes.
    static QStringView text(QUtf8StringView utf8, std::u16string& units);
    SignalKind kind(qsizetype index) const { return SignalKind(m_rows[size_t(index)].kind); }
    // The entry's group: an index below groupCount(); entries with equal group texts may still differ in it.
    uint32_t group(qsizetype index) const { return m_rows[size_t(index)].group; }
    qsizetype groupCount() const { return qsizetype(m_groups.size()); }
    const QString& groupID(qsizetype index) const { return m_groups[m_rows[size_t(index)].group].id; }
    const QString& groupName(qsizetype index) const { return m_groups[m_rows[size_t(index)].group].name; }
    bool hasArtwork(qsizetype index) const { return m_rows[size_t(index)].artworkPrefix != noAddress; }
    // Null when the entry has no classification.
    const QString& contentClassification(qsizetype index) const
    {
        return m_texts[m_rows[size_t(index)].classification];
    }

    void reserve(qsizetype rows) { m_rows.reserve(size_t(rows)); }
    // Gives back what the texts' memory holds beyond them, once the table is complete (entries may still be added).
    void releaseSpare()
    {
        m_chars.releaseSpare();
        m_addresses.releaseSpare();
    }
    void clear() { *this = NodeTable(); }
    void append(const MediaNode& node);
    // Moves every entry of `other` to the end of this table; `other` is left empty.
    void append(NodeTable&& other);

    // Joining tables read apart, whose rows name their groups by the caller's own numbers: `adopt` takes over
    // another table's texts and addresses and makes room for its rows at the end of this one; `fill` then writes
    // them, each row's group and kind given by `regrouped[row's group]`. Fills of different adoptions may run at
    // once on several threads, once every adoption is made and while nothing else touches the table.
    struct Regrouped {
        uint32_t group = 0;
        std::array<SignalKind, 3> kinds{SignalKind::broadcast, SignalKind::cinema, SignalKind::episodic};
    };
    class Adoption;
    Adoption adopt(NodeTable&& other, std::vector<Regrouped> regrouped);
    void fill(Adoption& adoption);

    // Building straight from a reader's texts, without a MediaNode in between.
    // A group's index; a group can be renamed later (a list's category names may arrive after its entries).
    uint32_t addGroup(const QString& id, const QString& name);
    void renameGroup(uint32_t group, const QString& id, const QString& name);
    // Index of a shared short text (suffix, classification); 0 stands for the null text.
    uint32_t addText(QStringView text);
    static constexpr uint32_t nullText = 0;
    struct RawNode {
        SignalKind kind = SignalKind::broadcast;
        std::string_view id;    // UTF-8; a leading byte-order mark is dropped, an invalid byte becomes U+FFFD
        std::string_view title; // the same
        uint32_t group = 0;
        std::optional<QByteArrayView> artwork; // encoded address text
        std::optional<QByteArrayView> directURL;
        uint32_t fileSuffix = nullText;
        uint32_t contentClassification = nullText;
    };
    void append(const RawNode& node);

    class Iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = MediaNode;
        using difference_type = std::ptrdiff_t;
        using reference = MediaNode;
        using pointer = void;
        Iterator() = default;
        Iterator(const NodeTable* table, qsizetype index) : m_table(table), m_index(index) {}
        MediaNode operator*() const { return m_table->at(m_index); }
        Iterator& operator++()
        {
            ++m_index;
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator old = *this;
            ++m_index;
            return old;
        }
        Iterator& operator--()
        {
            --m_index;
            return *this;
        }
        Iterator& operator+=(difference_type n)
        {
            m_index += n;
            return *this;
        }
        friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
        friend difference_type operator-(const Iterator& a, const Iterator& b) { return a.m_index - b.m_index; }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.m_index == b.m_index; }

    private:
        const NodeTable* m_table = nullptr;
        qsizetype m_index = 0;
    };
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, size()); }

private:
    static constexpr uint32_t noAddress = 0;
    struct Row;
    using RowAllocator = netkit::UnzeroedAllocator<netkit::LargeAllocator, Row>;
    struct Row {
        uint32_t text; // id, then title, in the UTF-8 blocks
        uint32_t idLength;
        uint32_t titleLength;
        uint32_t group;
        uint32_t artwork; // the part after the directory, in the address store
        uint32_t artworkLength;
        uint32_t directURL;
        uint32_t directURLLength;
        uint32_t artworkPrefix; // noAddress, or the directory in the address store
        uint32_t directURLPrefix;
        uint32_t suffix;
        uint32_t classification;
        uint8_t kind;
    };
    struct Group {
        QString id;
        QString name;
    };

    // Stores `address`; returns its directory and sets place and length of the rest.
    uint32_t storeAddress(QByteArrayView address, uint32_t& place, uint32_t& length)
    {
        return m_addresses.store(address, place, length);
    }
    std::optional<AddressText> address(uint32_t prefix, uint32_t place, uint32_t length) const;
    uint32_t storeTexts(std::string_view id, std::string_view title);
    // The group already indexed under `id` and `name`, else `group`, indexed under them now.
    uint32_t indexGroup(uint32_t group, const QString& id, const QString& name);
    void appendRow(Row row, const RawNode& node);

    std::vector<Row, RowAllocator> m_rows;
    netkit::Blocks<char> m_chars;
    netkit::AddressStore m_addresses;
    std::vector<Group> m_groups;
    SeededTable<> m_groupIndex;   // the groups, by id and name
    std::vector<QString> m_texts; // [0] is the null text
    std::unordered_map<std::u16string, uint32_t, netkit::SeededTextHash, std::equal_to<>> m_textIndex;
};

class NodeTable::Adoption
{
public:
    Adoption(Adoption&&) noexcept = default;
    Adoption& operator=(Adoption&&) noexcept = default;
    bool filled() const { return m_rows.empty(); }

private:
    friend class NodeTable;
    Adoption() = default;
    std::vector<Row, RowAllocator> m_rows;
    std::vector<Regrouped> m_regrouped;
    std::vector<uint32_t> m_texts;
    netkit::AddressStore::Adopted m_addresses;
    uint32_t m_charShift = 0;
    size_t m_at = 0; // where its rows go
};

// The result of loading any source. Only a prepared catalogue has a feed and a version.
struct LoadedCatalog {
    NodeTable nodes;
    std::optional<CommandFeed> feed;
    std::optional<qint64> preparedVersion;
};

} // namespace sendra
