#pragma once

#include "Domain/CatalogTypes.h"
#include "Domain/CenterContentPolicy.h"
#include "Domain/NodeTable.h"
#include "NetKit/LargeArray.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sendra {

// Per-entry arrays are written whole by the threads that fill them, so their pages are first touched by those threads
// rather than zeroed on one.
template <class T>
using PerEntry = std::vector<T, netkit::UnzeroedAllocator<std::allocator, T>>;

// One loaded catalogue: the entries, stored once, and everything that depends on their texts alone (folded
// titles, collation ranks, groups, node-key owners). Built once per load and shared by every application of
// that load, so switching the parental filter folds and collates nothing again. Immutable once built; safe to
// build on a worker thread.
class CatalogEntries
{
public:
    // A category of one kind, keyed "<kind>:<groupID>"; numbered in order of first appearance.
    struct Group {
        static constexpr uint32_t noName = UINT32_MAX;
        static constexpr uint32_t severalNames = UINT32_MAX - 1;
        QString key;
        QString groupID;
        QString foldedID;
        SignalKind kind;
        uint32_t onlyName = noName; // the name every entry of the group has, or severalNames
    };
    // A distinct group-name text; numbered in order of first appearance.
    struct Name {
        QString folded;
        std::string foldedUtf8;
        uint32_t rank = 0;    // collation order; names that compare equal share a rank
        bool adult = false;   // the folded name holds an adult keyword
        bool useful = false;  // worth offering as a category at all
    };

    static std::shared_ptr<const CatalogEntries> prepare(NodeTable nodes);

    const NodeTable& nodes() const { return m_nodes; }
    uint32_t size() const { return uint32_t(m_nodes.size()); }
    // The entry made whole; the texts below are read in place.
    MediaNode node(uint32_t position) const { return m_nodes.at(qsizetype(position)); }
    // UTF-8, read in place (NodeTable::text makes a QString of one).
    QUtf8StringView id(uint32_t position) const { return m_nodes.id(qsizetype(position)); }
    QUtf8StringView title(uint32_t position) const { return m_nodes.title(qsizetype(position)); }
    const QString& groupID(uint32_t position) const { return m_nodes.groupID(qsizetype(position)); }
    const QString& groupName(uint32_t position) const { return m_nodes.groupName(qsizetype(position)); }

    SignalKind kind(uint32_t position) const { return SignalKind(m_traits[position] & kindMask); }
    bool hasArtwork(uint32_t position) const { return m_traits[position] & artworkTrait; }
    bool isGeneric(uint32_t position) const { return m_traits[position] & genericTrait; }
    bool hasAdultTitle(uint32_t position) const { return m_traits[position] & adultTitleTrait; }
    std::string_view foldedTitle(uint32_t position) const;
    // Every folded title, one after the other in catalogue order; title p spans [titleStarts()[p],
    // titleStarts()[p + 1]).
    std::string_view foldedTitles() const { return std::string_view(m_foldedTitles.data(), m_foldedTitles.size()); }
    std::span<const uint32_t> titleStarts() const { return m_titleStart; }
    // How often each byte occurs in the folded titles (a search looks for its query's rarest bytes first).
    uint32_t byteCount(uint8_t byte) const { return m_byteCount[byte]; }
    // Which ASCII bytes the folded title holds, one bit per byte (asciiBit), so that a one-letter search reads
    // four bytes per entry instead of its title. Letters have a bit each; other bytes share bits, so a set bit
    // of a shared byte still asks for the title to be read.
    uint32_t titleBytes(uint32_t position) const { return m_titleBytes[position]; }
    // The first byte of the folded title; 0 for an empty one.
    uint8_t firstTitleByte(uint32_t position) const { return m_titleFirst[position]; }
    static constexpr uint32_t asciiBit(uint8_t byte)
    {
        return byte >= 'a' && byte <= 'z' ? uint32_t(1) << (byte - 'a') : uint32_t(1) << (26 + byte % 6);
    }
    static constexpr bool asciiBitIsExact(uint8_t byte) { return byte >= 'a' && byte <= 'z'; }
    // Unique: the title's collation order, equal titles in order of appearance.
    uint32_t titleRank(uint32_t position) const { return m_titleRank[position]; }
    // The position whose title has this rank.
    uint32_t positionOfTitleRank(uint32_t rank) const { return m_byTitleRank[rank]; }
    uint32_t groupOf(uint32_t position) const { return m_group[position]; }
    uint32_t nameOf(uint32_t position) const { return m_name[position]; }
    // The first position holding the same node key ("<kind>:<id>"); the position itself for most entries.
    uint32_t keyOwner(uint32_t position) const;
    // A hash of the node key, for finding entries by key without reading their ids; equal keys hash equal.
    uint32_t keyHash(uint32_t position) const { return m_keyHash[position]; }
    static uint32_t keyHash(SignalKind kind, QStringView id);
    // Whether an entry holding this node key has a title or group name with an adult keyword, as found when the
    // catalogue was prepared (no text is read again); none when no entry holds the key.
    std::optional<bool> adultTexts(SignalKind kind, QStringView id) const;

    const std::vector<Group>& groups() const { return m_groups; }
    const std::vector<Name>& names() const { return m_names; }
    // The group with this key, or -1.
    qsizetype groupIndex(const QString& key) const { return m_groupIndex.value(key, -1); }

    // Bytes held beside the entries themselves (arrays, folded texts, group and name tables).
    size_t indexBytes() const;

private:
    static constexpr uint8_t kindMask = 3;
    static constexpr uint8_t artworkTrait = 4;
    static constexpr uint8_t genericTrait = 8;
    static constexpr uint8_t adultTitleTrait = 16;
    static constexpr uint8_t sharedKeyTrait = 32;

    friend class CatalogEntriesBuilder;

    NodeTable m_nodes;
    PerEntry<uint8_t> m_traits;
    PerEntry<uint32_t> m_titleStart; // size + 1 offsets into m_foldedTitles
    PerEntry<char> m_foldedTitles;
    std::array<uint32_t, 256> m_byteCount{};
    PerEntry<uint32_t> m_titleBytes;
    PerEntry<uint8_t> m_titleFirst;
    PerEntry<uint32_t> m_titleRank;
    PerEntry<uint32_t> m_byTitleRank;
    PerEntry<uint32_t> m_group;
    PerEntry<uint32_t> m_name;
    PerEntry<uint32_t> m_keyHash;
    QHash<uint32_t, uint32_t> m_keyOwners; // only for positions whose key an earlier entry holds
    std::vector<Group> m_groups;
    std::vector<Name> m_names;
    QHash<QString, qsizetype> m_groupIndex;
};

// One application of a loaded catalogue under a set of blocked groups and a parental setting: which entries are
// visible and which the centre may recommend, the entries by kind and by group, the sorted, browsable and
// featured groups, the presentation and the spotlight candidates. Every index is a vector of positions into the
// entries. Immutable once built.
class CatalogSnapshot
{
public:
    // The pure builder: entries, blocked groups (as the platform gives them) and the parental flag.
    static std::shared_ptr<const CatalogSnapshot> build(std::shared_ptr<const CatalogEntries> entries,
                                                        const QSet<QString>& blockedGroups, bool parental);
    static std::shared_ptr<const CatalogSnapshot> build(NodeTable nodes, const QSet<QString>& blockedGroups,
                                                        bool parental);
    // The snapshot of no catalogue at all.
    static std::shared_ptr<const CatalogSnapshot> empty();

    const CatalogEntries& entries() const { return *m_entries; }
    const std::shared_ptr<const CatalogEntries>& sharedEntries() const { return m_entries; }
    MediaNode node(uint32_t position) const { return m_entries->node(position); }
    bool parental() const { return m_parental; }
    // Built from the blocked groups; its blocked set holds their folded forms.
    const CenterContentPolicy& centerPolicy() const { return m_policy; }

    bool isVisible(uint32_t position) const { return m_state[position] & visibleState; }
    // Passes the home content policy (blocked group id or name, adult keyword in the group name or title).
    bool isRecommended(uint32_t position) const { return m_state[position] & recommendedState; }
    // Some entry with this position's node key is recommended (the centre node keys).
    bool isCenterKey(uint32_t position) const
    {
        return m_state[m_entries->keyOwner(position)] & centerKeyState;
    }
    // The same policy test for any entry, the snapshot's own or not (a resume marker's).
    bool recommends(const MediaNode& node) const;
    uint32_t visibleCount() const { return uint32_t(m_byKind.size()); }

    // The visible entries of one kind, in catalogue order; all of them, kind after kind.
    std::span<const uint32_t> positionsOfKind(SignalKind kind) const;
    std::span<const uint32_t> visiblePositions() const { return m_byKind; }
    // The visible entries of a group (by group index), in catalogue order.
    std::span<const uint32_t> positionsOfGroup(uint32_t group) const;

    // Every group with a visible entry, sorted (kind order, then name); its id is the group key.
    const QList<MediaGroup>& groups() const { return m_sortedGroups; }
    std::span<const MediaGroup> groupsOfKind(SignalKind kind) const;
    // Group index (into entries().groups()) of each sorted group.
    uint32_t groupIndexOf(qsizetype sortedGroup) const { return m_sortedGroupIndex[size_t(sortedGroup)]; }
    const QList<MediaGroup>& browsableGroups() const { return m_browsableGroups; }
    std::span<const MediaGroup> browsableGroupsOfKind(SignalKind kind) const;
    const QList<MediaGroup>& featuredGroups() const { return m_featuredGroups; }

    bool usesGenericPresentation() const { return m_genericOnly; }
    const QList<SignalKind>& presentedKinds() const { return m_presentedKinds; }

    // The spotlight candidates: the recommended entries, first of each node key, pooled by kind and category
    // (the group id, or the group name when the id is empty). A kind's pools come in ascending category order
    // (code points); each pool keeps catalogue order.
    using SpotlightPool = std::span<const uint32_t>;
    const std::vector<SpotlightPool>& spotlightPools(SignalKind kind) const { return m_spotlightPools[size_t(kind)]; }

    // min(size, 250) + 4 x (entries with artwork among the first 40), over the group's visible entries.
    int groupQuality(uint32_t group) const;

    // Bytes of this application's indexes (not counting the shared entries).
    size_t indexBytes() const;

private:
    static constexpr uint8_t visibleState = 1;
    static constexpr uint8_t recommendedState = 2;
    static constexpr uint8_t centerKeyState = 4;

    friend class CatalogSnapshotBuilder;

    std::shared_ptr<const CatalogEntries> m_entries;
    CenterContentPolicy m_policy;
    bool m_parental = false;
    std::vector<uint8_t> m_state;
    std::vector<uint32_t> m_byKind;
    std::array<uint32_t, 4> m_kindBounds{};
    std::vector<uint32_t> m_byGroup;
    std::vector<uint32_t> m_groupBounds; // per group index, size groups + 1
    QList<MediaGroup> m_sortedGroups;
    std::vector<uint32_t> m_sortedGroupIndex;
    std::array<qsizetype, 4> m_groupKindBounds{};
    QList<MediaGroup> m_browsableGroups;
    std::array<qsizetype, 4> m_browsableKindBounds{};
    QList<MediaGroup> m_featuredGroups;
    bool m_genericOnly = false;
    QList<SignalKind> m_presentedKinds;
    std::vector<uint32_t> m_spotlightEntries;
    std::array<std::vector<SpotlightPool>, 3> m_spotlightPools;
};

} // namespace sendra
