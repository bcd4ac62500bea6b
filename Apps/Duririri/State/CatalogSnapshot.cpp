#include "State/CatalogSnapshot.h"

#include "Domain/SeededTable.h"
#include "NetKit/Workers.h"

#include "State/HomeFeed.h"
#include "State/NameCollator.h"
#include "State/ReleaseOnWorker.h"
#include "State/TextFold.h"

#include <QHashFunctions>

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
#include <thread>

namespace sendra {

namespace {

using netkit::Range;
using netkit::splitForThreads;
using netkit::splitIntoPieces;
using netkit::threadsForPieces;
using FirstSeenTable = SeededTable<>;

// Finds, for every entry, the first entry whose value is equal, probing a few entries ahead of the one compared.
// Equal values have equal hashes, so the entries are shared out among threads by hash: each thread walks the whole
// catalogue in order but keeps only its own share, in a table of its own, and writes only its share's duplicates.
template <class SameAs>
std::vector<uint32_t> firstOccurrences(std::span<const uint32_t> hashes, SameAs&& same)
{
    constexpr size_t ahead = 16;
    const uint32_t count = uint32_t(hashes.size());
    std::vector<uint32_t> first(count);
    std::iota(first.begin(), first.end(), 0U);
    const std::vector<Range> shares = splitForThreads(count);
    const uint64_t parts = shares.size();
    // The table's slots come from a hash's low bits; the share from its high ones.
    netkit::teamPool().forEach(shares, [&](size_t part, uint32_t, uint32_t) {
        const auto mine = [&](uint32_t hash) { return (hash * parts) >> 32 == part; };
        FirstSeenTable table(count / parts);
        for (uint32_t p = 0; p < count; ++p) {
            if (p + ahead < count && mine(hashes[p + ahead]))
                table.prefetch(hashes[p + ahead]);
            if (!mine(hashes[p]))
                continue;
            const uint32_t found = table.findOrAddHashed(hashes[p], p, [&](uint32_t q) { return same(p, q); });
            if (found != p)
                first[p] = found;
        }
    });
    return first;
}

// Code-point order: UTF-16 order with the surrogates moved above the units that follow them.
bool codePointLess(const QString& a, const QString& b)
{
    auto rank = [](QChar c) {
        const char16_t u = c.unicode();
        return u >= 0xE000 ? char16_t(u - 0x800) : u >= 0xD800 ? char16_t(u + 0x2000) : u;
    };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](QChar x, QChar y) { return rank(x) < rank(y); });
}

uint32_t textHash(QStringView text)
{
    return FirstSeenTable::hash(text);
}

uint32_t bytesHash(QUtf8StringView text)
{
    return FirstSeenTable::hash(text);
}

uint32_t kindSalt(SignalKind kind)
{
    return (uint32_t(kind) + 1) * 0x9E3779B9U;
}

// The positions of `texts` in collation order (equal texts in order of appearance), and for each rank whether
// its text compares equal to the one before.
struct CollationOrder {
    PerEntry<uint32_t> order;
    PerEntry<uint8_t> equalToPrevious;
};

// Parts smaller than this together leave too little in the heaps to be worth a trim.
constexpr size_t minTrimmedBytes = size_t(1) << 20;

// Joins texts written a part per range, where start[i] was each element's offset in its own part: afterwards start[i]
// is its offset in the joined text, and start[count] the text's size. The parts are copied on several threads.
PerEntry<char> joinParts(const std::vector<Range>& ranges, std::vector<std::string>& parts, std::span<uint32_t> start)
{
    std::vector<size_t> base(parts.size() + 1, 0);
    for (size_t chunk = 0; chunk < parts.size(); ++chunk)
        base[chunk + 1] = base[chunk] + parts[chunk].size();
    PerEntry<char> joined(base.back());
    netkit::teamPool().forEach(ranges, threadsForPieces(ranges), [&](size_t chunk, uint32_t first, uint32_t end) {
        for (uint32_t i = first; i < end; ++i)
            start[i] += uint32_t(base[chunk]);
        if (!parts[chunk].empty())
            std::memcpy(joined.data() + base[chunk], parts[chunk].data(), parts[chunk].size());
        std::string().swap(parts[chunk]);
    });
    start[ranges.back().end] = uint32_t(joined.size());
    // The parts were written on the team's threads, which stay: the small blocks each keeps cached for reuse lie above
    // its parts in its heap and keep the freed parts from going back to the system (threads started for one pass gave
    // theirs back as they ended). Left there, a 600k catalogue's parts held 8 MiB through the rest of its preparation.
    if (joined.size() >= minTrimmedBytes)
        detail::returnFreedPages();
    return joined;
}

// Merges the sorted runs of `items` (consecutive ranges) pairwise until one is left, through `spare` (as large as
// `items`). Every merge is cut into pieces of about the same size, one per thread, so each round keeps all the
// threads busy; the order is total, so the cuts are exact.
template <class Items, class Less>
void mergeRuns(Items& items, Items& spare, std::vector<Range> runs, const Less& less)
{
    const size_t threads = runs.size();
    while (runs.size() > 1) {
        std::vector<Range> merged;
        struct Piece {
            uint32_t a, aEnd, b, bEnd, out;
        };
        std::vector<Piece> pieces;
        for (size_t r = 0; r < runs.size(); r += 2) {
            if (r + 1 == runs.size()) {
                pieces.push_back({runs[r].first, runs[r].end, runs[r].end, runs[r].end, runs[r].first});
                merged.push_back(runs[r]);
                continue;
            }
            const Range a = runs[r];
            const Range b = runs[r + 1];
            const uint32_t total = b.end - a.first;
            const size_t cuts = std::max<size_t>(1, threads * total / items.size());
            // The first `at` outputs of the merge take `from` of them from a, the rest from b.
            auto cut = [&](uint32_t at) {
                uint32_t low = at > b.end - b.first ? at - (b.end - b.first) : 0;
                uint32_t high = std::min(at, a.end - a.first);
                while (low < high) {
                    const uint32_t from = (low + high) / 2;
                    if (less(items[b.first + (at - from - 1)], items[a.first + from]))
                        high = from;
                    else
                        low = from + 1;
                }
                return low;
            };
            uint32_t previousAt = 0;
            uint32_t previousFrom = 0;
            for (size_t c = 1; c <= cuts; ++c) {
                const auto at = uint32_t(uint64_t(total) * c / cuts);
                const uint32_t from = c == cuts ? a.end - a.first : cut(at);
                pieces.push_back({a.first + previousFrom, a.first + from, b.first + (previousAt - previousFrom),
                                  b.first + (at - from), a.first + previousAt});
                previousAt = at;
                previousFrom = from;
            }
            merged.push_back({a.first, b.end});
        }
        std::vector<Range> work;
        for (uint32_t p = 0; p < pieces.size(); ++p)
            work.push_back({p, p + 1});
        netkit::teamPool().forEach(work, [&](size_t, uint32_t p, uint32_t) {
            const Piece& piece = pieces[p];
            std::merge(items.begin() + piece.a, items.begin() + piece.aEnd, items.begin() + piece.b,
                       items.begin() + piece.bEnd, spare.begin() + piece.out, less);
        });
        items.swap(spare);
        runs = std::move(merged);
    }
}

template <class TextAt>
CollationOrder collationOrder(uint32_t count, TextAt&& textAt)
{
    // Sort keys take most of the time: each thread writes its own (with its own collator), joined afterwards.
    PerEntry<uint32_t> start(size_t(count) + 1);
    const std::vector<Range> ranges = splitForThreads(count);
    const std::vector<Range> pieces = splitIntoPieces(count);
    std::vector<std::string> parts(pieces.size());
    netkit::teamPool().forEach(pieces, threadsForPieces(pieces), [&](size_t chunk, uint32_t first, uint32_t end) {
        const NameCollator& collator = NameCollator::shared();
        std::string& out = parts[chunk];
        out.reserve(size_t(end - first) * 32);
        for (uint32_t i = first; i < end; ++i) {
            start[i] = uint32_t(out.size());
            collator.appendSortKey(textAt(i), out);
        }
    });
    const PerEntry<char> keys = joinParts(pieces, parts, start);

    auto key = [&](uint32_t i) { return std::string_view(keys.data() + start[i], start[i + 1] - start[i]); };
    // Most keys differ in their first sixteen bytes: sort on those as two integers, read the rest only on a tie.
    constexpr size_t prefixBytes = 16;
    struct Item {
        uint64_t high;
        uint64_t low;
        uint32_t index;
    };
    PerEntry<Item> items(count);
    netkit::teamPool().forEach(ranges, [&](size_t, uint32_t first, uint32_t end) {
        for (uint32_t i = first; i < end; ++i) {
            const std::string_view k = key(i);
            uint64_t word[2] = {0, 0};
            for (size_t b = 0; b < prefixBytes; ++b)
                word[b / 8] = (word[b / 8] << 8) | (b < k.size() ? uint8_t(k[b]) : 0);
            items[i] = {word[0], word[1], i};
        }
    });
    auto tail = [&](uint32_t i) {
        const std::string_view k = key(i);
        return k.size() > prefixBytes ? k.substr(prefixBytes) : std::string_view();
    };
    const auto less = [&](const Item& a, const Item& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        if (const int c = tail(a.index).compare(tail(b.index)); c != 0)
            return c < 0;
        return a.index < b.index;
    };
    // Each thread sorts its range; the sorted ranges are then merged (the order is total, so the result is the
    // one a single sort gives).
    netkit::teamPool().forEach(ranges, [&](size_t, uint32_t first, uint32_t end) {
        std::sort(items.begin() + first, items.begin() + end, less);
    });
    if (ranges.size() > 1) {
        PerEntry<Item> spare(count);
        mergeRuns(items, spare, ranges, less);
    }

    CollationOrder result;
    result.order.resize(count);
    result.equalToPrevious.resize(count);
    netkit::teamPool().forEach(ranges, [&](size_t, uint32_t first, uint32_t end) {
        for (uint32_t r = first; r < end; ++r) {
            result.order[r] = items[r].index;
            result.equalToPrevious[r] = r > 0 && items[r].high == items[r - 1].high &&
                                        items[r].low == items[r - 1].low &&
                                        tail(items[r].index) == tail(items[r - 1].index);
        }
    });
    return result;
}

} // namespace

// Groups ("<kind>:<groupID>") and distinct group names, numbered by first appearance. Entries of one group
// usually follow each other and carry their group's name, so those answers are tried before the tables.
class GroupAssigner
{
public:
    explicit GroupAssigner(CatalogEntries& e) : m_e(e) {}

    void assign(uint32_t p, std::vector<CatalogEntries::Group>& groups, std::vector<CatalogEntries::Name>& names,
                PerEntry<uint32_t>& groupOf, PerEntry<uint32_t>& nameOf)
    {
        const SignalKind kind = m_e.nodes().kind(p);
        const QString& groupID = m_e.groupID(p);
        const QString& groupName = m_e.groupName(p);
        if (p > 0 && groups[groupOf[p - 1]].kind == kind && groups[groupOf[p - 1]].groupID == groupID) {
            groupOf[p] = groupOf[p - 1];
        } else {
            const uint32_t next = uint32_t(groups.size());
            groupOf[p] = m_groupTable.findOrAddHashed(textHash(groupID) ^ kindSalt(kind), next, [&](uint32_t g) {
                return groups[g].kind == kind && groups[g].groupID == groupID;
            });
            if (groupOf[p] == next) {
                groups.push_back({storedValue(kind) + u':' + groupID, groupID, foldedText(groupID), kind});
                m_groupName.push_back(none);
            }
        }

        const uint32_t firstName = m_groupName[groupOf[p]];
        if (firstName != none && m_nameTexts[firstName] == groupName) {
            nameOf[p] = firstName;
            return;
        }
        const uint32_t next = uint32_t(m_nameTexts.size());
        nameOf[p] = m_nameTable.findOrAdd(groupName, next, [&](uint32_t n) { return m_nameTexts[n] == groupName; });
        if (nameOf[p] == next) {
            m_nameTexts.push_back(groupName);
            CatalogEntries::Name name;
            name.folded = foldedText(groupName);
            name.foldedUtf8 = name.folded.toStdString();
            name.adult = containsAdultKeyword(name.foldedUtf8);
            name.useful = isUsefulFeaturedGroupName(name.folded);
            names.push_back(std::move(name));
        }
        if (firstName == none)
            m_groupName[groupOf[p]] = nameOf[p];
    }

    // Collation ranks of the names; names that compare equal share one.
    void rankNames(std::vector<CatalogEntries::Name>& names) const
    {
        const CollationOrder order =
            collationOrder(uint32_t(m_nameTexts.size()), [&](uint32_t n) { return QStringView(m_nameTexts[n]); });
        uint32_t rank = 0;
        for (size_t r = 0; r < order.order.size(); ++r) {
            if (r > 0 && !order.equalToPrevious[r])
                ++rank;
            names[order.order[r]].rank = rank;
        }
    }

private:
    static constexpr uint32_t none = UINT32_MAX;
    CatalogEntries& m_e;
    FirstSeenTable m_groupTable{1024};
    FirstSeenTable m_nameTable{1024};
    std::vector<QString> m_nameTexts;
    std::vector<uint32_t> m_groupName; // per group, the name of its first entry
};

class CatalogEntriesBuilder
{
public:
    static std::shared_ptr<const CatalogEntries> build(NodeTable nodes)
    {
        auto entries = std::make_shared<CatalogEntries>();
        CatalogEntries& e = *entries;
        e.m_nodes = std::move(nodes);
        e.m_nodes.releaseSpare();
        std::vector<uint32_t> sameTitle;
        {
            PerEntry<uint32_t> titleHashes;
            readEntries(e, titleHashes);
            sameTitle = firstOccurrences(titleHashes, [&](uint32_t p, uint32_t q) { return e.title(p) == e.title(q); });
        }
        findKeyOwners(e);
        rankTitles(e, sameTitle);
        e.m_groupIndex.reserve(qsizetype(e.m_groups.size()));
        for (size_t g = 0; g < e.m_groups.size(); ++g)
            e.m_groupIndex.insert(e.m_groups[g].key, qsizetype(g));
        return entries;
    }

private:
    // One pass reads each entry's texts while they are at hand: traits, folded title, the title's and the node
    // key's hashes, group and group name.
    static void readEntries(CatalogEntries& e, PerEntry<uint32_t>& titleHashes)
    {
        const uint32_t count = e.size();
        titleHashes.resize(count);
        e.m_traits.resize(count);
        e.m_titleStart.resize(size_t(count) + 1);
        e.m_titleBytes.resize(count);
        e.m_titleFirst.resize(count);
        e.m_keyHash.resize(count);
        e.m_group.resize(count);
        e.m_name.resize(count);
        // Folding and hashing each title is independent of the others: spread over a few threads, each folding
        // into its own text, joined afterwards.
        const std::vector<Range> ranges = splitIntoPieces(count);
        std::vector<std::string> folded(ranges.size());
        std::vector<std::array<uint32_t, 256>> byteCounts(ranges.size());
        netkit::teamPool().forEach(ranges, threadsForPieces(ranges), [&](size_t chunk, uint32_t first, uint32_t end) {
            const NodeTable& nodes = e.m_nodes;
            std::string& out = folded[chunk];
            out.reserve(size_t(end - first) * 24);
            // Titles and ids are kept as UTF-8: a title is folded from it (decoded only when it needs more than the
            // Latin table), its hash (only compared within this table) taken over its bytes; node-key hashes read
            // the id as UTF-16, as they always have.
            std::u16string titleUnits;
            std::u16string idUnits;
            for (uint32_t p = first; p < end; ++p) {
                const SignalKind kind = nodes.kind(p);
                const QUtf8StringView title = nodes.title(p);
                uint8_t traits = uint8_t(kind);
                if (nodes.hasArtwork(p))
                    traits |= CatalogEntries::artworkTrait;
                if (nodes.contentClassification(p) == u"generic")
                    traits |= CatalogEntries::genericTrait;
                const size_t start = out.size();
                e.m_titleStart[p] = uint32_t(start);
                if (!appendFoldedFromUtf8(std::string_view(title.data(), size_t(title.size())), out))
                    appendFoldedUtf8(NodeTable::text(title, titleUnits), out);
                titleHashes[p] = uint32_t(bytesHash(title));
                const std::string_view foldedTitle = std::string_view(out).substr(start);
                uint32_t ascii = 0;
                for (const char c : foldedTitle) {
                    if (uint8_t(c) < 0x80)
                        ascii |= CatalogEntries::asciiBit(uint8_t(c));
                }
                e.m_titleBytes[p] = ascii;
                e.m_titleFirst[p] = foldedTitle.empty() ? 0 : uint8_t(foldedTitle.front());
                if (containsAdultKeyword(foldedTitle))
                    traits |= CatalogEntries::adultTitleTrait;
                e.m_traits[p] = traits;
                e.m_keyHash[p] = CatalogEntries::keyHash(kind, NodeTable::text(nodes.id(p), idUnits));
            }
            std::array<uint32_t, 256>& counts = byteCounts[chunk];
            counts.fill(0);
            for (const char c : out)
                ++counts[uint8_t(c)];
        });
        e.m_foldedTitles = joinParts(ranges, folded, e.m_titleStart);
        for (const std::array<uint32_t, 256>& counts : byteCounts) {
            for (size_t b = 0; b < counts.size(); ++b)
                e.m_byteCount[b] += counts[b];
        }

        // An entry's group and name follow from its kind and its group texts: worked out once per table group
        // and kind, in order of first appearance.
        GroupAssigner groups(e);
        std::vector<uint32_t> known(size_t(e.m_nodes.groupCount()) * 4, UINT32_MAX);
        for (uint32_t p = 0; p < count; ++p) {
            uint32_t& first = known[size_t(e.m_nodes.group(p)) * 4 + size_t(e.m_nodes.kind(p))];
            if (first == UINT32_MAX) {
                groups.assign(p, e.m_groups, e.m_names, e.m_group, e.m_name);
                first = p;
            } else {
                e.m_group[p] = e.m_group[first];
                e.m_name[p] = e.m_name[first];
            }
        }
        groups.rankNames(e.m_names);
        for (uint32_t p = 0; p < count; ++p) {
            uint32_t& only = e.m_groups[e.m_group[p]].onlyName;
            if (only == CatalogEntries::Group::noName)
                only = e.m_name[p];
            else if (only != e.m_name[p])
                only = CatalogEntries::Group::severalNames;
        }
    }

    static void findKeyOwners(CatalogEntries& e)
    {
        const std::vector<uint32_t> owners = firstOccurrences(e.m_keyHash, [&](uint32_t p, uint32_t q) {
            return e.m_nodes.kind(p) == e.m_nodes.kind(q) && e.id(p) == e.id(q);
        });
        for (uint32_t p = 0; p < e.size(); ++p) {
            if (owners[p] != p) {
                e.m_traits[p] |= CatalogEntries::sharedKeyTrait;
                e.m_keyOwners.insert(p, owners[p]);
            }
        }
    }

    // Unique ranks: each distinct title is collated once, and titles that collate equal (the same text, or
    // canonically equivalent texts) take consecutive ranks in catalogue order.
    static void rankTitles(CatalogEntries& e, const std::vector<uint32_t>& sameTitle)
    {
        const uint32_t count = e.size();
        std::vector<uint32_t> distinct; // first position of each distinct title
        std::vector<uint32_t> textOf(count);
        for (uint32_t p = 0; p < count; ++p) {
            if (sameTitle[p] == p) {
                textOf[p] = uint32_t(distinct.size());
                distinct.push_back(p);
            } else {
                textOf[p] = textOf[sameTitle[p]];
            }
        }
        // Each thread decodes the titles it collates into a buffer of its own, read before the next one.
        const CollationOrder order = collationOrder(uint32_t(distinct.size()), [&](uint32_t t) {
            thread_local std::u16string units;
            return NodeTable::text(e.title(distinct[t]), units);
        });
        std::vector<uint32_t> classOf(distinct.size());
        uint32_t classes = 0;
        for (size_t r = 0; r < order.order.size(); ++r) {
            if (r > 0 && !order.equalToPrevious[r])
                ++classes;
            classOf[order.order[r]] = classes;
        }
        std::vector<uint32_t> next(size_t(classes) + 2, 0);
        for (uint32_t p = 0; p < count; ++p)
            ++next[classOf[textOf[p]] + 1];
        std::partial_sum(next.begin(), next.end(), next.begin());
        e.m_titleRank.resize(count);
        e.m_byTitleRank.resize(count);
        for (uint32_t p = 0; p < count; ++p) {
            e.m_titleRank[p] = next[classOf[textOf[p]]]++;
            e.m_byTitleRank[e.m_titleRank[p]] = p;
        }
    }
};

std::shared_ptr<const CatalogEntries> CatalogEntries::prepare(NodeTable nodes)
{
    return CatalogEntriesBuilder::build(std::move(nodes));
}

uint32_t CatalogEntries::keyHash(SignalKind kind, QStringView id)
{
    return uint32_t(textHash(id)) ^ kindSalt(kind);
}

std::optional<bool> CatalogEntries::adultTexts(SignalKind kind, QStringView id) const
{
    const uint32_t hash = keyHash(kind, id);
    std::optional<bool> adult;
    for (uint32_t p = 0; p < size(); ++p) {
        if (m_keyHash[p] == hash && this->kind(p) == kind && NodeTable::text(this->id(p)) == id)
            adult = adult.value_or(false) || hasAdultTitle(p) || m_names[m_name[p]].adult;
    }
    return adult;
}

std::string_view CatalogEntries::foldedTitle(uint32_t position) const
{
    return foldedTitles().substr(m_titleStart[position], m_titleStart[position + 1] - m_titleStart[position]);
}

uint32_t CatalogEntries::keyOwner(uint32_t position) const
{
    if (!(m_traits[position] & sharedKeyTrait))
        return position;
    return m_keyOwners.value(position, position);
}

size_t CatalogEntries::indexBytes() const
{
    size_t bytes = m_traits.capacity() + m_titleFirst.capacity() +
                   (m_titleStart.capacity() + m_titleBytes.capacity() + m_titleRank.capacity() +
                    m_byTitleRank.capacity() + m_group.capacity() + m_name.capacity() + m_keyHash.capacity()) *
                       sizeof(uint32_t);
    bytes += m_foldedTitles.capacity();
    bytes += size_t(m_keyOwners.capacity()) * (2 * sizeof(uint32_t) + sizeof(void*));
    for (const Group& group : m_groups)
        bytes += sizeof(Group) + size_t(group.key.capacity() + group.groupID.capacity() + group.foldedID.capacity()) * 2;
    for (const Name& name : m_names)
        bytes += sizeof(Name) + size_t(name.folded.capacity()) * 2 + name.foldedUtf8.capacity();
    bytes += size_t(m_groupIndex.capacity()) * (sizeof(QString) + sizeof(qsizetype) + sizeof(void*));
    return bytes;
}

class CatalogSnapshotBuilder
{
public:
    static std::shared_ptr<const CatalogSnapshot> build(std::shared_ptr<const CatalogEntries> shared,
                                                        const QSet<QString>& blockedGroups, bool parental)
    {
        auto snapshot = std::make_shared<CatalogSnapshot>();
        CatalogSnapshot& s = *snapshot;
        s.m_entries = std::move(shared);
        s.m_parental = parental;
        s.m_policy = CenterContentPolicy(blockedGroups);

        const CatalogEntries& e = *s.m_entries;
        const uint32_t count = e.size();
        markEntries(s, e, count);
        partition(s, e, count);
        present(s, e);
        sortGroups(s, e);
        poolSpotlight(s, e);
        s.m_featuredGroups = selectFeaturedGroups(s);
        return snapshot;
    }

private:
    static void markEntries(CatalogSnapshot& s, const CatalogEntries& e, uint32_t count)
    {
        std::vector<bool> groupAllowed(e.groups().size());
        for (size_t g = 0; g < groupAllowed.size(); ++g)
            groupAllowed[g] = !s.m_policy.blockedGroups().contains(e.groups()[g].foldedID);
        std::vector<bool> nameAllowed(e.names().size());
        for (size_t n = 0; n < nameAllowed.size(); ++n)
            nameAllowed[n] = !e.names()[n].adult && !s.m_policy.blockedGroups().contains(e.names()[n].folded);

        s.m_state.assign(count, 0);
        for (uint32_t p = 0; p < count; ++p) {
            const bool recommended = groupAllowed[e.groupOf(p)] && nameAllowed[e.nameOf(p)] && !e.hasAdultTitle(p);
            if (recommended) {
                s.m_state[p] |= CatalogSnapshot::recommendedState;
                s.m_state[e.keyOwner(p)] |= CatalogSnapshot::centerKeyState;
            }
            if (recommended || !s.m_parental)
                s.m_state[p] |= CatalogSnapshot::visibleState;
        }
    }

    // Entries by kind and by group: two counting sorts over the visible positions, catalogue order kept.
    static void partition(CatalogSnapshot& s, const CatalogEntries& e, uint32_t count)
    {
        std::array<uint32_t, 4> kindBounds{};
        std::vector<uint32_t> groupBounds(e.groups().size() + 1, 0);
        for (uint32_t p = 0; p < count; ++p) {
            if (!s.isVisible(p))
                continue;
            ++kindBounds[size_t(e.kind(p)) + 1];
            ++groupBounds[e.groupOf(p) + 1];
        }
        std::partial_sum(kindBounds.begin(), kindBounds.end(), kindBounds.begin());
        std::partial_sum(groupBounds.begin(), groupBounds.end(), groupBounds.begin());
        s.m_kindBounds = kindBounds;
        s.m_groupBounds = groupBounds;
        s.m_byKind.resize(kindBounds[3]);
        s.m_byGroup.resize(kindBounds[3]);
        for (uint32_t p = 0; p < count; ++p) {
            if (!s.isVisible(p))
                continue;
            s.m_byKind[kindBounds[size_t(e.kind(p))]++] = p;
            s.m_byGroup[groupBounds[e.groupOf(p)]++] = p;
        }
    }

    static void present(CatalogSnapshot& s, const CatalogEntries& e)
    {
        std::array<bool, 3> kindShown{};
        bool allGeneric = !s.m_byKind.empty();
        for (uint32_t p : s.m_byKind) {
            if (e.isGeneric(p))
                continue;
            allGeneric = false;
            kindShown[size_t(e.kind(p))] = true;
        }
        s.m_genericOnly = allGeneric;
        for (SignalKind kind : allSignalKinds) {
            if (kindShown[size_t(kind)])
                s.m_presentedKinds.append(kind);
        }
    }

    // Groups with a visible entry, named after their earliest visible entry, sorted by kind, then name, then
    // first appearance.
    static void sortGroups(CatalogSnapshot& s, const CatalogEntries& e)
    {
        struct Item {
            uint32_t kind;
            uint32_t nameRank;
            uint32_t first;
            uint32_t group;
        };
        std::vector<Item> items;
        for (uint32_t g = 0; g < e.groups().size(); ++g) {
            const std::span<const uint32_t> members = s.positionsOfGroup(g);
            if (members.empty())
                continue;
            const uint32_t first = members.front();
            items.push_back({uint32_t(e.kind(first)), e.names()[e.nameOf(first)].rank, first, g});
        }
        std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            return std::tie(a.kind, a.nameRank, a.first) < std::tie(b.kind, b.nameRank, b.first);
        });

        s.m_sortedGroups.reserve(qsizetype(items.size()));
        s.m_sortedGroupIndex.reserve(items.size());
        s.m_groupKindBounds.fill(0);
        s.m_browsableKindBounds.fill(0);
        for (const Item& item : items) {
            const MediaGroup group{e.groups()[item.group].key, e.groupName(item.first), SignalKind(item.kind)};
            s.m_sortedGroups.append(group);
            s.m_sortedGroupIndex.push_back(item.group);
            ++s.m_groupKindBounds[item.kind + 1];
            if (e.names()[e.nameOf(item.first)].useful) {
                s.m_browsableGroups.append(group);
                ++s.m_browsableKindBounds[item.kind + 1];
            }
        }
        std::partial_sum(s.m_groupKindBounds.begin(), s.m_groupKindBounds.end(), s.m_groupKindBounds.begin());
        std::partial_sum(s.m_browsableKindBounds.begin(), s.m_browsableKindBounds.end(),
                         s.m_browsableKindBounds.begin());
    }

    // Pools are found once per group (or per name, for entries without a group id), never per entry, and a
    // category text shared by a group id and a name-only category still makes one pool.
    static void poolSpotlight(CatalogSnapshot& s, const CatalogEntries& e)
    {
        const uint32_t count = e.size();
        constexpr uint32_t none = UINT32_MAX;
        std::vector<uint32_t> poolOfGroup(e.groups().size(), none);
        QHash<std::pair<int, uint32_t>, uint32_t> poolOfName;
        QHash<std::pair<int, QString>, uint32_t> poolOfCategory;
        std::vector<std::pair<SignalKind, QString>> categories;
        auto poolFor = [&](SignalKind kind, const QString& category) {
            auto it = poolOfCategory.constFind({int(kind), category});
            if (it == poolOfCategory.cend()) {
                it = poolOfCategory.insert({int(kind), category}, uint32_t(categories.size()));
                categories.emplace_back(kind, category);
            }
            return *it;
        };

        std::vector<uint32_t> poolOf(count, none);
        std::vector<bool> keyTaken(count, false);
        for (uint32_t p = 0; p < count; ++p) {
            if (!s.isRecommended(p))
                continue;
            const uint32_t owner = e.keyOwner(p);
            if (keyTaken[owner])
                continue;
            keyTaken[owner] = true;
            const SignalKind kind = e.kind(p);
            if (!e.groupID(p).isEmpty()) {
                uint32_t& pool = poolOfGroup[e.groupOf(p)];
                if (pool == none)
                    pool = poolFor(kind, e.groupID(p));
                poolOf[p] = pool;
            } else {
                const std::pair<int, uint32_t> key{int(kind), e.nameOf(p)};
                auto it = poolOfName.constFind(key);
                if (it == poolOfName.cend())
                    it = poolOfName.insert(key, poolFor(kind, e.groupName(p)));
                poolOf[p] = *it;
            }
        }

        std::vector<uint32_t> sizes(categories.size(), 0);
        for (uint32_t pool : poolOf) {
            if (pool != none)
                ++sizes[pool];
        }
        std::vector<uint32_t> sorted(categories.size());
        std::iota(sorted.begin(), sorted.end(), 0);
        std::sort(sorted.begin(), sorted.end(),
                  [&](uint32_t a, uint32_t b) { return codePointLess(categories[a].second, categories[b].second); });
        std::vector<uint32_t> start(categories.size(), 0);
        uint32_t offset = 0;
        for (uint32_t pool : sorted) {
            start[pool] = offset;
            offset += sizes[pool];
        }
        s.m_spotlightEntries.resize(offset);
        std::vector<uint32_t> fill = start;
        for (uint32_t p = 0; p < count; ++p) {
            if (poolOf[p] != none)
                s.m_spotlightEntries[fill[poolOf[p]]++] = p;
        }
        for (uint32_t pool : sorted) {
            s.m_spotlightPools[size_t(categories[pool].first)].push_back(
                std::span<const uint32_t>(s.m_spotlightEntries).subspan(start[pool], sizes[pool]));
        }
    }
};

std::shared_ptr<const CatalogSnapshot> CatalogSnapshot::build(std::shared_ptr<const CatalogEntries> entries,
                                                              const QSet<QString>& blockedGroups, bool parental)
{
    return CatalogSnapshotBuilder::build(std::move(entries), blockedGroups, parental);
}

std::shared_ptr<const CatalogSnapshot> CatalogSnapshot::build(NodeTable nodes,
                                                              const QSet<QString>& blockedGroups, bool parental)
{
    return build(CatalogEntries::prepare(std::move(nodes)), blockedGroups, parental);
}

std::shared_ptr<const CatalogSnapshot> CatalogSnapshot::empty()
{
    static const std::shared_ptr<const CatalogSnapshot> none = build(NodeTable(), {}, false);
    return none;
}

std::span<const uint32_t> CatalogSnapshot::positionsOfKind(SignalKind kind) const
{
    const size_t k = size_t(kind);
    return std::span<const uint32_t>(m_byKind).subspan(m_kindBounds[k], m_kindBounds[k + 1] - m_kindBounds[k]);
}

std::span<const uint32_t> CatalogSnapshot::positionsOfGroup(uint32_t group) const
{
    if (group + 1 >= m_groupBounds.size())
        return {};
    return std::span<const uint32_t>(m_byGroup).subspan(m_groupBounds[group],
                                                        m_groupBounds[group + 1] - m_groupBounds[group]);
}

namespace {
std::span<const MediaGroup> kindSlice(const QList<MediaGroup>& groups, const std::array<qsizetype, 4>& bounds,
                                      SignalKind kind)
{
    const size_t k = size_t(kind);
    return std::span<const MediaGroup>(groups.constData() + bounds[k], size_t(bounds[k + 1] - bounds[k]));
}
} // namespace

std::span<const MediaGroup> CatalogSnapshot::groupsOfKind(SignalKind kind) const
{
    return kindSlice(m_sortedGroups, m_groupKindBounds, kind);
}

std::span<const MediaGroup> CatalogSnapshot::browsableGroupsOfKind(SignalKind kind) const
{
    return kindSlice(m_browsableGroups, m_browsableKindBounds, kind);
}

bool CatalogSnapshot::recommends(const MediaNode& node) const
{
    return m_policy.allows(node);
}

int CatalogSnapshot::groupQuality(uint32_t group) const
{
    const std::span<const uint32_t> members = positionsOfGroup(group);
    if (members.empty())
        return 0;
    const size_t inspected = std::min<size_t>(members.size(), 40);
    const auto withArtwork = std::count_if(members.begin(), members.begin() + qsizetype(inspected),
                                           [&](uint32_t p) { return m_entries->hasArtwork(p); });
    return int(std::min<size_t>(members.size(), 250)) + 4 * int(withArtwork);
}

size_t CatalogSnapshot::indexBytes() const
{
    size_t bytes = m_state.capacity();
    bytes += (m_byKind.capacity() + m_byGroup.capacity() + m_groupBounds.capacity() + m_sortedGroupIndex.capacity()) *
             sizeof(uint32_t);
    bytes += m_spotlightEntries.capacity() * sizeof(uint32_t);
    for (const auto& pools : m_spotlightPools)
        bytes += pools.capacity() * sizeof(SpotlightPool);
    for (const QList<MediaGroup>* list : {&m_sortedGroups, &m_browsableGroups, &m_featuredGroups})
        bytes += size_t(list->capacity()) * sizeof(MediaGroup);
    return bytes;
}

} // namespace sendra
