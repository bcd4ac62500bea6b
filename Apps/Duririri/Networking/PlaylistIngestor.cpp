#include "Networking/PlaylistIngestor.h"

#include "Domain/CommandError.h"
#include "Domain/CenterContentPolicy.h"
#include "Domain/SeededTable.h"
#include "Networking/ArtworkAddress.h"
#include "Networking/BackgroundWork.h"
#include "Networking/BodyFeed.h"
#include "Networking/Sha1.h"
#include "NetKit/PlaylistText.h"
#include "Networking/TextFold.h"
#include "NetKit/Workers.h"

#include <simdjson.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace sendra {

namespace {

using namespace std::chrono_literals;
using netkit::playlist::findLineEnd;
using netkit::playlist::InformationLine;
using netkit::playlist::isAscii;
using netkit::playlist::trimmed;

constexpr auto kDownloadTimeout = 45s;
constexpr qsizetype kPieceBytes = qsizetype(2) << 20;

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The title: the text after the title comma, trimmed. A line without a usable comma is its own title.
std::string_view titleOf(std::string_view line, std::size_t comma)
{
    if (comma == std::string_view::npos)
        return trimmed(line);
    const std::string_view before = line.substr(0, comma);
    const std::string_view after = line.substr(comma + 1);
    const std::string_view piece = !after.empty() ? after : before;
    if (piece.empty())
        return "Contenido";
    return trimmed(piece);
}

// UUID version 5 (SHA-1, RFC 4122) of a name in the URL namespace, as upper-case text. An id costs one string and
// no other allocation.
class NameUuid
{
public:
    QString of(std::string_view name)
    {
        char text[36];
        return QString::fromLatin1(of(name, text));
    }

    // The same as ASCII text in `out`.
    std::string_view of(std::string_view name, char (&out)[36])
    {
        static constexpr char kUrlNamespace[16] = {'\x6b', '\xa7', '\xb8', '\x11', '\x9d', '\xad', '\x11', '\xd1',
                                                   '\x80', '\xb4', '\x00', '\xc0', '\x4f', '\xd4', '\x30', '\xc8'};
        m_hash.add(std::string_view(kUrlNamespace, sizeof kUrlNamespace));
        m_hash.add(name);
        const auto digest = m_hash.finish();
        unsigned char bytes[16];
        std::memcpy(bytes, digest.data(), sizeof bytes);
        bytes[6] = (bytes[6] & 0x0F) | 0x50; // version 5
        bytes[8] = (bytes[8] & 0x3F) | 0x80; // RFC 4122 variant
        static constexpr char kHex[] = "0123456789ABCDEF";
        char* at = out;
        for (int i = 0; i < 16; ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10)
                *at++ = '-';
            *at++ = kHex[bytes[i] >> 4];
            *at++ = kHex[bytes[i] & 0x0F];
        }
        return std::string_view(out, sizeof out);
    }

private:
    Sha1 m_hash;
};

// Starts with "#EXTINF": compared as two words, not through memcmp, as every line asks.
bool isInformationLine(std::string_view line)
{
    if (line.size() < 7)
        return false;
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::memcpy(&first, line.data(), 4);
    std::memcpy(&last, line.data() + 3, 4);
    std::uint32_t wantedFirst = 0;
    std::uint32_t wantedLast = 0;
    std::memcpy(&wantedFirst, "#EXT", 4);
    std::memcpy(&wantedLast, "TINF", 4);
    return first == wantedFirst && last == wantedLast;
}

// How many entries a playlist of `totalBytes` may hold, judged from its first `sample` (a little over, so the rows
// are allocated once; never more than the text could hold).
qsizetype estimatedEntries(std::string_view sample, qint64 totalBytes)
{
    if (sample.empty() || totalBytes <= 0)
        return 0;
    qsizetype count = 0;
    for (std::size_t at = sample.find("#EXTINF"); at != std::string_view::npos; at = sample.find("#EXTINF", at + 7))
        ++count;
    const qint64 estimate = qint64(count) * totalBytes / qint64(sample.size());
    return qsizetype(std::min(estimate + estimate / 16 + 16, totalBytes / 9));
}

// What the kind keywords found in one text say: "series" or "episode" make a series, else "movie", "pelicula" or
// "vod" a film. ASCII letters of `text` count in either case; other bytes never match, so `text` is either ASCII or
// already folded and lower-cased.
enum class KindHint : std::uint8_t { none, cinema, episodic };

KindHint kindHint(std::string_view text)
{
    const auto lower = [&](std::size_t i) { return char(text[i] | 0x20); }; // a letter only for a letter
    const auto keywordAt = [&](std::size_t i, std::string_view keyword) {
        if (text.size() - i < keyword.size())
            return false;
        for (std::size_t k = 0; k < keyword.size(); ++k)
            if (lower(i + k) != keyword[k])
                return false;
        return true;
    };
    KindHint hint = KindHint::none;
    // Every keyword opens with one of five letter pairs; only where one of them stands is a keyword looked for.
    const auto look = [&](std::size_t i) {
        if (keywordAt(i, "series") || keywordAt(i, "episode"))
            return true;
        if (keywordAt(i, "movie") || keywordAt(i, "pelicula") || keywordAt(i, "vod"))
            hint = KindHint::cinema;
        return false;
    };
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const auto pair = [](__m128i first, __m128i second, char a, char b) {
        return _mm_and_si128(_mm_cmpeq_epi8(first, _mm_set1_epi8(a)), _mm_cmpeq_epi8(second, _mm_set1_epi8(b)));
    };
    for (; i + 17 <= text.size(); i += 16) {
        const __m128i first = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i)), caseBit);
        const __m128i second =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 1)), caseBit);
        const __m128i openings =
            _mm_or_si128(_mm_or_si128(pair(first, second, 's', 'e'), pair(first, second, 'e', 'p')),
                         _mm_or_si128(_mm_or_si128(pair(first, second, 'm', 'o'), pair(first, second, 'p', 'e')),
                                      pair(first, second, 'v', 'o')));
        for (unsigned mask = unsigned(_mm_movemask_epi8(openings)); mask != 0; mask &= mask - 1)
            if (look(i + unsigned(__builtin_ctz(mask))))
                return KindHint::episodic;
    }
#endif
    for (; i < text.size(); ++i)
        if (look(i))
            return KindHint::episodic;
    return hint;
}

// What a group's title makes of it: the costly part of a new group, which needs nothing but the title.
struct MadeGroup {
    QString id;
    QString name;
    KindHint hint = KindHint::none;
};

MadeGroup makeGroup(std::string_view key)
{
    QString name = fromUtf8(key);
    QString id = QStringLiteral("group:") + name.toLower();
    const KindHint hint = kindHint(CenterContentPolicy::normalize(name).toStdString());
    return {std::move(id), std::move(name), hint};
}

// The groups made while a playlist's pieces are read: each title is claimed by the first piece to meet it, which
// makes its group on its own worker, so that joining the pieces finds the group made. (A playlist sorted by group
// meets most titles in one piece only; joining them one by one on one thread made every group there.) Titles are
// claimed by hash alone: a title whose hash another title claimed first is made where the pieces are joined.
// The room is fixed: once half of it is claimed, pieces make the titles they meet first themselves.
class MadeGroups
{
public:
    enum class Claim : std::uint8_t { ours, taken, full };

    explicit MadeGroups(std::size_t titles)
        : m_mask(std::bit_ceil(std::clamp<std::size_t>(titles * 2, 1024, std::size_t(1) << 18)) - 1),
          m_slots(std::make_unique<Slot[]>(m_mask + 1))
    {}

    ~MadeGroups()
    {
        for (std::size_t i = 0; i <= m_mask; ++i)
            delete m_slots[i].made.load(std::memory_order_relaxed);
    }

    MadeGroups(const MadeGroups&) = delete;
    MadeGroups& operator=(const MadeGroups&) = delete;

    // Claims the title of `hash`; with `ours`, `slot` is where publish() is to put its group.
    Claim claim(std::uint32_t hash, std::size_t& slot)
    {
        const std::uint64_t tagged = kClaimed | hash;
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            std::uint64_t word = m_slots[at].word.load(std::memory_order_relaxed);
            if (word == 0) {
                if (m_claimed.fetch_add(1, std::memory_order_relaxed) >= (m_mask + 1) / 2) {
                    m_claimed.fetch_sub(1, std::memory_order_relaxed);
                    return Claim::full;
                }
                if (m_slots[at].word.compare_exchange_strong(word, tagged, std::memory_order_relaxed)) {
                    slot = at;
                    return Claim::ours;
                }
                m_claimed.fetch_sub(1, std::memory_order_relaxed);
            }
            if (word == tagged)
                return Claim::taken;
        }
    }

    void publish(std::size_t slot, std::string_view key, MadeGroup made)
    {
        m_slots[slot].made.store(new Published{std::string(key), std::move(made)}, std::memory_order_release);
    }

    // The group made for `key`, when the piece that claimed it has made it.
    const MadeGroup* find(std::uint32_t hash, std::string_view key) const
    {
        const std::uint64_t tagged = kClaimed | hash;
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const std::uint64_t word = m_slots[at].word.load(std::memory_order_relaxed);
            if (word == 0)
                return nullptr;
            if (word == tagged) {
                const Published* published = m_slots[at].made.load(std::memory_order_acquire);
                return published && published->key == key ? &published->made : nullptr;
            }
        }
    }

private:
    static constexpr std::uint64_t kClaimed = std::uint64_t(1) << 32;
    struct Published {
        std::string key;
        MadeGroup made;
    };
    struct Slot {
        std::atomic<std::uint64_t> word{0}; // kClaimed and the hash, once claimed
        std::atomic<Published*> made{nullptr};
    };
    const std::size_t m_mask;
    const std::unique_ptr<Slot[]> m_slots;
    std::atomic<std::size_t> m_claimed{0};
};

// Group titles as written, each kept once in one block of text, and the group each stands for. A lookup that hits
// reads one slot (which holds the title's place in the block) and the title's bytes; playlists mostly list a group's
// entries together, so the last group is tried first.
class GroupBook
{
public:
    struct Found {
        std::uint32_t group;
        KindHint hint;
    };
    struct Title {
        std::uint32_t offset;
        std::uint32_t length;
        std::uint32_t hash;
    };

    // Begins looking `key` up: unless it is the last group's title, its slot is fetched while the caller does
    // other work, and find() ends the lookup.
    // Says whether it is the last group's.
    bool expect(std::string_view key)
    {
        m_lastHit = m_last.length == key.size() && sameKey(text(m_last.offset, m_last.length), key);
        if (!m_lastHit) {
            m_hash = seededHash(key);
            m_table.prefetch(m_hash);
        }
        return m_lastHit;
    }

    // The group of the title expect() was given, made in `nodes` when new; without `nodes`, the title's index here.
    Found find(std::string_view key, NodeTable* nodes) { return m_lastHit ? m_last.found : find(key, m_hash, nodes); }

    void prefetch(std::uint32_t hash) const { m_table.prefetch(hash); }

    // Between expect() and find(), once the slot has had time to arrive: the title it names is fetched in turn.
    void approach() const
    {
        if (m_lastHit)
            return;
        const Slot& slot = m_table.home(m_hash);
        if (slot.hash == m_hash && slot.id != SeededTable<Place>::none)
            __builtin_prefetch(m_text.data() + slot.payload.offset);
    }

    // The same for `key` of hash `hash`, met anew.
    Found find(std::string_view key, std::uint32_t hash, NodeTable* nodes)
    {
        if (const std::optional<Found> known = lookUp(key, hash))
            return *known;
        if (!nodes) {
            if (m_shared)
                premake(key, hash, m_titles.size());
            return add(key, hash, {std::uint32_t(m_titles.size()), KindHint::none});
        }
        const MadeGroup made = makeGroup(key);
        return add(key, hash, {nodes->addGroup(made.id, made.name), made.hint});
    }

    // The group of `key` when it has been met before.
    std::optional<Found> lookUp(std::string_view key, std::uint32_t hash)
    {
        const auto* slot = m_table.find(
            hash, [&](const Slot& stored) { return sameKey(text(stored.payload.offset, stored.payload.length), key); });
        if (!slot)
            return std::nullopt;
        m_last = {slot->payload.offset, slot->payload.length, {slot->id, slot->payload.hint}};
        return m_last.found;
    }

    // `key`, not met before, as `found`.
    Found add(std::string_view key, std::uint32_t hash, Found found)
    {
        const auto offset = std::uint32_t(m_text.size());
        m_text.append(key);
        m_titles.push_back({offset, std::uint32_t(key.size()), hash});
        m_table.add(hash, found.group, {offset, std::uint32_t(key.size()), found.hint});
        m_last = {offset, std::uint32_t(key.size()), found};
        return found;
    }

    // Titles met first here are claimed in `shared`, and their groups made at once when claimed (or when `shared`
    // is full: then premade() keeps them).
    void shareMaking(MadeGroups* shared) { m_shared = shared; }

    // The group made here for the title of index `title`, if any.
    MadeGroup* premade(std::size_t title)
    {
        return title < m_premade.size() && m_premade[title] ? &*m_premade[title] : nullptr;
    }

    // The titles met, in the order met.
    const std::vector<Title>& titles() const { return m_titles; }
    std::string_view text(const Title& title) const { return text(title.offset, title.length); }

private:
    void premake(std::string_view key, std::uint32_t hash, std::size_t title)
    {
        std::size_t slot = 0;
        switch (m_shared->claim(hash, slot)) {
        case MadeGroups::Claim::ours:
            m_shared->publish(slot, key, makeGroup(key));
            break;
        case MadeGroups::Claim::taken:
            break;
        case MadeGroups::Claim::full:
            m_premade.resize(title + 1);
            m_premade[title] = makeGroup(key);
            break;
        }
    }

    struct Place {
        std::uint32_t offset;
        std::uint32_t length;
        KindHint hint;
    };
    using Slot = SeededTable<Place>::Slot;

    std::string_view text(std::uint32_t offset, std::uint32_t length) const
    {
        return std::string_view(m_text.data() + offset, length);
    }

    // The same bytes, compared a word at a time in place: group titles are short, and a call to memcmp for each
    // entry cost more than the rest of the lookup.
    static bool sameKey(std::string_view a, std::string_view b)
    {
        const std::size_t n = a.size();
        if (n != b.size())
            return false;
        const char* x = a.data();
        const char* y = b.data();
        const auto word = [](const char* at) {
            std::uint64_t w;
            std::memcpy(&w, at, 8);
            return w;
        };
        const auto half = [](const char* at) {
            std::uint32_t w;
            std::memcpy(&w, at, 4);
            return w;
        };
        if (n >= 8) {
            for (std::size_t i = 0; i + 8 < n; i += 8)
                if (word(x + i) != word(y + i))
                    return false;
            return word(x + n - 8) == word(y + n - 8);
        }
        if (n >= 4)
            return half(x) == half(y) && half(x + n - 4) == half(y + n - 4);
        for (std::size_t i = 0; i < n; ++i)
            if (x[i] != y[i])
                return false;
        return true;
    }

    std::string m_text;
    std::vector<Title> m_titles;
    SeededTable<Place> m_table{128};
    struct {
        std::uint32_t offset = 0;
        std::uint32_t length = UINT32_MAX;
        Found found{};
    } m_last;
    bool m_lastHit = false;   // what expect() found
    std::uint32_t m_hash = 0; // the hash expect() worked out
    MadeGroups* m_shared = nullptr;
    std::vector<std::optional<MadeGroup>> m_premade; // by title, once `m_shared` is full
};

class PlaylistBuilder
{
public:
    NodeTable nodes;

    // With `titlesOnly`, the entries' groups are the indexes of their titles in groups(), and their kinds are
    // those of their addresses alone: a piece read apart leaves its groups to the join, which makes each once.
    explicit PlaylistBuilder(const QUrl& origin, bool titlesOnly = false) : m_origin(origin), m_titlesOnly(titlesOnly)
    {
        m_logos.setBase(origin.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo));
    }

    GroupBook& groups() { return m_groups; }

    // The information line of the entry to come, read as soon as it is met: another group than the last has its
    // slot asked for now, and the title that slot names once the address line is found (address()), so that both
    // have arrived when the entry is added.
    void expect(std::string_view info)
    {
        m_info.emplace(info);
        m_infoText = info;
        m_lastGroup = m_groups.expect(m_info->groupTitle.value_or(defaultGroupName));
    }

    void add(std::string_view info, std::string_view addressLine, QByteArrayView address)
    {
        if (!m_info || m_infoText.data() != info.data() || m_infoText.size() != info.size())
            expect(info);
        const InformationLine attributes = *m_info;
        m_info.reset();
        const std::string_view groupTitle = attributes.groupTitle.value_or(defaultGroupName);
        const bool lastGroup = m_lastGroup;
        // An id of blanks (or of a stray byte-order mark) would make every such entry the same entry.
        char fallback[36];
        const std::string_view id = attributes.tvgId && !trimmed(*attributes.tvgId).empty()
                                        ? *attributes.tvgId
                                        : m_fallbackIds.of(addressLine, fallback);
        std::optional<KindHint> addressHint;
        if (!lastGroup)
            addressHint = addressHintOf(addressLine);
        const GroupBook::Found group = m_groups.find(groupTitle, m_titlesOnly ? nullptr : &nodes);
        // Every entry's suffix is the empty text: looked up once, not for every row.
        if (m_emptySuffix == NodeTable::nullText)
            m_emptySuffix = nodes.addText(QStringView(u""));
        // Every field given, so the node is not cleared first.
        nodes.append(NodeTable::RawNode{.kind = kindOf(group.hint, addressLine, addressHint),
                                        .id = id,
                                        .title = titleOf(info, attributes.titleComma),
                                        .group = group.group,
                                        .artwork = artworkOf(attributes.tvgLogo),
                                        .directURL = address,
                                        .fileSuffix = m_emptySuffix,
                                        .contentClassification = NodeTable::nullText});
    }

    // A logo QUrl would keep as written is kept as it is, without making a QUrl. (Returned into the node in place:
    // a copy of the optional would be read before its flag was written.)
    std::optional<QByteArrayView> artworkOf(std::optional<std::string_view> logo)
    {
        if (!logo)
            return std::nullopt;
        if (const auto text = m_logos.encoded(*logo, m_logoScratch))
            return *text;
        if (const auto read = readArtwork(m_logos, *logo, m_origin)) {
            m_logoScratch = read->toEncoded();
            return QByteArrayView(m_logoScratch);
        }
        return std::nullopt;
    }

    // A playlist line's stream address as encoded text, in `scratch` when it is not the line itself.
    std::optional<QByteArrayView> address(std::string_view line, QByteArray& scratch)
    {
        if (m_info)
            m_groups.approach();
        const auto text = m_streams.encoded(line, scratch);
        m_addressIsAscii = text.has_value(); // such an address is printable ASCII
        if (text)
            return *text;
        const std::optional<QUrl> address = m_streams.readStream(line);
        if (!address)
            return std::nullopt;
        scratch = address->toEncoded();
        return QByteArrayView(scratch);
    }

private:
    // The kind guess over the folded group name and address, both searched whole: a series keyword in either
    // wins over a film keyword in either; a live channel otherwise. The group's part is worked out once per group.
    // (`known`: the address's part, when already worked out.)
    SignalKind kindOf(KindHint groupHint, std::string_view addressLine, std::optional<KindHint> known)
    {
        if (groupHint == KindHint::episodic)
            return SignalKind::episodic;
        const KindHint addressHint = known ? *known : addressHintOf(addressLine);
        if (addressHint == KindHint::episodic)
            return SignalKind::episodic;
        if (groupHint == KindHint::cinema || addressHint == KindHint::cinema)
            return SignalKind::cinema;
        return SignalKind::broadcast;
    }

    KindHint addressHintOf(std::string_view addressLine)
    {
        if (m_addressIsAscii || isAscii(addressLine))
            return kindHint(addressLine);
        foldedLowerUtf8(addressLine, m_foldedAddress);
        return kindHint(m_foldedAddress);
    }

    QUrl m_origin;
    // One reader per kind of address, so each keeps meeting its own origin (and its own repeated pictures).
    netkit::AddressReader m_streams;
    netkit::AddressReader m_logos;
    NameUuid m_fallbackIds;
    QByteArray m_logoScratch;
    uint32_t m_emptySuffix = NodeTable::nullText;
    GroupBook m_groups;
    std::optional<InformationLine> m_info; // what expect() read, of `m_infoText`
    std::string_view m_infoText;
    bool m_lastGroup = false; // the entry to come is in the last group's
    bool m_titlesOnly;
    std::string m_foldedAddress;
    bool m_addressIsAscii = false; // the address line last read by address()
};

} // namespace

PlaylistIngestor::PlaylistIngestor(netkit::HttpSession session) : m_session(std::move(session))
{}

QString PlaylistIngestor::fallbackId(QByteArrayView addressLine)
{
    return NameUuid().of(std::string_view(addressLine.data(), std::size_t(addressLine.size())));
}

namespace {

// A line longer than this is skipped whole: no playlist line comes near it (a few kilobytes at most, a logo given
// inline perhaps a few megabytes), and the line coming in is held until its end arrives.
constexpr std::size_t kMaxLineBytes = std::size_t(16) << 20;
// Past this many bytes without a line end, the line held is too long: the longest line end takes three bytes.
constexpr std::size_t kLineWindow = kMaxLineBytes + 3;

// How long the UTF-8 sequence opening with `lead` says it is (a stray continuation byte counts as one).
std::size_t claimedLength(unsigned char lead)
{
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Where a character that the end of `bytes` cuts starts; bytes.size() when none is cut.
std::size_t cutCharacter(std::string_view bytes)
{
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, bytes.size()); ++back) {
        const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if (c < 0x80)
            return bytes.size();
        if (c >= 0xC0)
            return claimedLength(c) > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

// Whole lines of a playlist read into entries, in order: the information line met last waits for the next address
// line.
class LineReader
{
public:
    // With `stop`, reading ends early once it is set (the reader is gone); with `titlesOnly`, the groups are left
    // to the join (PlaylistBuilder).
    explicit LineReader(const QUrl& origin, const std::atomic<bool>* stop = nullptr, bool titlesOnly = false)
        : builder(origin, titlesOnly), m_stop(stop)
    {}

    // `text` holds whole lines; with `opening` it starts the playlist (a byte-order mark there is dropped).
    // `expectedBytes` (or -1) is how much text this reader will be given, so the entries are allocated once.
    void read(std::string_view text, bool opening, qint64 expectedBytes)
    {
        if (!m_started) {
            m_started = true;
            if (opening && text.starts_with("\xEF\xBB\xBF"))
                text.remove_prefix(3);
            builder.nodes.reserve(estimatedEntries(text.substr(0, 1 << 20), expectedBytes));
        }
        std::size_t pos = 0;
        while (pos < text.size()) {
            if ((m_stop && m_stop->load(std::memory_order_relaxed)) || netkit::workersStopping())
                return;
            std::size_t endLength = 0;
            const std::size_t start = pos;
            const std::size_t end = findLineEnd(text, pos, endLength);
            pos = end + endLength;
            if (end - start > kMaxLineBytes)
                continue;
            const std::string_view line = trimmed(text.substr(start, end - start));
            if (line.empty())
                continue;
            if (isInformationLine(line)) {
                builder.expect(line);
                m_pending = line;
                m_hasPending = true;
                m_metInformation = true;
                continue;
            }
            if (line.front() == '#')
                continue;
            if (!m_hasPending) {
                // A piece read apart may open with the address line of an information line the piece before it
                // left waiting.
                if (!m_metInformation && !m_firstAddress && builder.address(line, m_scratch))
                    m_firstAddress.emplace(line);
                continue;
            }
            if (const auto address = builder.address(line, m_scratch)) {
                builder.add(m_pending, line, *address);
                m_hasPending = false;
            }
        }
        // The information line may wait for an address line in later text: it is kept, as this text goes.
        if (m_hasPending && m_pending.data() != m_keptPending.data()) {
            m_keptPending.assign(m_pending);
            m_pending = m_keptPending;
            builder.expect(m_pending);
        }
    }

    NodeTable finish()
    {
        builder.nodes.releaseSpare();
        return std::move(builder.nodes);
    }

    bool metInformation() const { return m_metInformation; }
    // The first address line before any information line.
    std::optional<std::string>& firstAddress() { return m_firstAddress; }
    // The information line still waiting for its address line.
    std::optional<std::string> waiting() const
    {
        return m_hasPending ? std::optional<std::string>(m_pending) : std::nullopt;
    }

    PlaylistBuilder builder;

private:
    const std::atomic<bool>* m_stop;
    bool m_started = false;
    std::string_view m_pending;
    bool m_hasPending = false;
    bool m_metInformation = false;
    std::string m_keptPending;
    std::optional<std::string> m_firstAddress;
    QByteArray m_scratch;
};

// A stretch of the playlist from a line start to a line end, read apart from the rest.
struct PlaylistPiece {
    std::string text;
    bool opening = false; // holds the playlist's first bytes
    std::atomic<bool> claimed = false;
    // What reading it gave: its entries (their groups numbered by `groups`), and what joining it to the pieces
    // around it needs.
    NodeTable nodes;
    GroupBook groups;
    bool metInformation = false;
    std::optional<std::string> firstAddress;
    std::optional<std::string> waiting;
    std::exception_ptr failure;
    bool done = false; // under the pieces' mutex
};

// The pieces of one playlist, shared with the workers that read them (which may outlive the reader).
struct PlaylistPieces {
    PlaylistPieces(const QUrl& origin, bool strictUtf8) : origin(origin), strictUtf8(strictUtf8) {}

    // Room for the next piece's text: a piece read gives its memory back for the next, which spares the page
    // faults of new memory for every piece.
    std::string spareText(std::size_t bytes)
    {
        std::string text;
        {
            const std::lock_guard lock(mutex);
            if (!spare.empty()) {
                text = std::move(spare.back());
                spare.pop_back();
            }
        }
        text.reserve(bytes);
        return text;
    }

    void read(PlaylistPiece& piece)
    {
        std::exception_ptr failure;
        if (!abandoned) {
            try {
                if (strictUtf8 && !simdjson::validate_utf8(piece.text.data(), piece.text.size()))
                    throw CommandFailure(CommandError::invalidResponse);
                LineReader lines(origin, &abandoned, true);
                lines.builder.groups().shareMaking(made.get());
                lines.read(piece.text, piece.opening, qint64(piece.text.size()));
                piece.nodes = lines.finish();
                piece.groups = std::move(lines.builder.groups());
                piece.metInformation = lines.metInformation();
                piece.firstAddress = std::move(lines.firstAddress());
                piece.waiting = lines.waiting();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        std::string text = std::move(piece.text);
        piece.text = {};
        text.clear();
        {
            const std::lock_guard lock(mutex);
            if (spare.size() < 4)
                spare.push_back(std::move(text));
            piece.done = true;
            if (failure) {
                piece.failure = failure;
                if (!firstFailure)
                    firstFailure = failure;
                failed = true;
            }
            ++done;
        }
        finished.notify_all();
    }

    const QUrl origin;
    const bool strictUtf8;
    std::vector<std::shared_ptr<PlaylistPiece>> list; // the reader's thread alone changes it
    std::unique_ptr<MadeGroups> made;                 // set before the first piece is read
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t done = 0;            // pieces read, under `mutex`
    std::exception_ptr firstFailure; // the first to fail, under `mutex`
    std::vector<std::string> spare;  // texts of pieces read, under `mutex`
    std::atomic<bool> failed = false;
    std::atomic<bool> abandoned = false; // the reader is gone (or cancelled): what is left unread stays so
};

// The one place the reader hands work out. Work no worker takes is left to finish(), which reads what nobody began.
void startOnWorker(std::function<void()> work)
{
    (void)netkit::backgroundPool().start(std::move(work));
}

// The rows of every piece joined, written on several threads: each piece's rows go to their own place.
void fillOnWorkers(NodeTable& table, std::vector<NodeTable::Adoption> adoptions)
{
    std::erase_if(adoptions, [](const NodeTable::Adoption& adoption) { return adoption.filled(); });
    netkit::teamPool().forEach(adoptions.size(), [&](std::size_t piece) { table.fill(adoptions[piece]); });
}

} // namespace

struct PlaylistReader::State {
    State(const QUrl& origin, bool strictUtf8, qsizetype pieceBytes, netkit::CancelToken token)
        : origin(origin), lines(origin), strictUtf8(strictUtf8),
          pieceBytes(std::size_t(std::max<qsizetype>(pieceBytes, 0))), token(std::move(token))
    {
        if (this->pieceBytes > 0) {
            pieces = std::make_shared<PlaylistPieces>(origin, strictUtf8);
            // Only a flag is set: the workers see it between lines.
            cancelled = this->token.onCancel([weak = std::weak_ptr<PlaylistPieces>(pieces)] {
                if (const auto shared = weak.lock())
                    shared->abandoned = true;
            });
        }
    }

    ~State()
    {
        if (pieces)
            pieces->abandoned = true;
    }

    void push(QByteArrayView data, qint64 declared)
    {
        netkit::throwIfCancelled(token);
        if (pieces && pieces->failed)
            rethrowFailure();
        std::string_view bytes(data.data(), std::size_t(data.size()));
        declaredLength = declared;
        if (skipping || !tail.empty()) {
            // The line coming in ends in this piece, or the piece is all of it so far.
            const std::size_t end = firstLineEnd(bytes);
            const std::size_t upTo = end == std::string_view::npos ? bytes.size() : end + 1;
            keep(bytes.substr(0, upTo));
            bytes.remove_prefix(upTo);
        }
        if (!bytes.empty()) {
            const std::size_t end = lastLineEnd(bytes);
            if (end != std::string_view::npos) {
                take(bytes.substr(0, end + 1));
                bytes.remove_prefix(end + 1);
            }
            keep(bytes);
        }
        if (pieces) {
            joinReadPieces();
            // While the text arrives there is time to write the rows here, and each piece's own rows go at once.
            for (NodeTable::Adoption& adoption : adoptions)
                if (!adoption.filled())
                    joined.fill(adoption);
            adoptions.clear();
        }
    }

    NodeTable finish()
    {
        netkit::throwIfCancelled(token);
        if (skipping)
            checkSkipped({}, true);
        else if (!tail.empty())
            take(tail);
        std::string().swap(tail);
        if (!pieces)
            return lines.finish();
        // The last piece is read here, and so is every piece no worker has started yet.
        if (!current.empty() || pieces->list.empty())
            startPiece(false);
        for (const auto& piece : pieces->list)
            if (!piece->claimed.exchange(true))
                pieces->read(*piece);
        {
            std::unique_lock lock(pieces->mutex);
            pieces->finished.wait(lock, [this] { return pieces->done == pieces->list.size(); });
        }
        // A piece a worker gave up on is not to be joined.
        netkit::throwIfCancelled(token);
        joinReadPieces();
        {
            const std::lock_guard lock(pieces->mutex);
            pieces->spare.clear();
        }
        pieces->made.reset(); // every piece is read and joined
        fillOnWorkers(joined, std::move(adoptions));
        adoptions.clear();
        joined.releaseSpare();
        return std::move(joined);
    }

    // Pieces are cut just after a one-byte line end (LF, VT, FF, CR): each piece then holds whole lines, every
    // longer line end (NEL, U+2028, U+2029) whole in it, and starts a UTF-8 character; a CR LF pair cut between
    // its bytes still reads as two line ends with an empty line between them.
    static bool cutsAfter(char c) { return c >= 0x0A && c <= 0x0D; }

    static std::size_t firstLineEnd(std::string_view bytes)
    {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (cutsAfter(bytes[i]))
                return i;
        return std::string_view::npos;
    }

    static std::size_t lastLineEnd(std::string_view bytes)
    {
        for (std::size_t i = bytes.size(); i > 0; --i)
            if (cutsAfter(bytes[i - 1]))
                return i - 1;
        return std::string_view::npos;
    }

    // Adds to the line coming in `bytes`, which hold no one-byte line end but perhaps as their last byte. The line
    // is held up to kLineWindow bytes; the lines a longer stretch ends at NEL, U+2028 or U+2029 are read, and a line
    // that fills it all is skipped up to its end.
    void keep(std::string_view bytes)
    {
        while (!bytes.empty()) {
            if (skipping) {
                bytes = skipOverLongLine(bytes);
                continue;
            }
            const std::size_t n = std::min(kLineWindow - tail.size(), bytes.size());
            tail.append(bytes.data(), n);
            bytes.remove_prefix(n);
            if (cutsAfter(tail.back())) {
                take(tail);
                tail.clear();
                continue;
            }
            if (tail.size() < kLineWindow)
                continue;
            std::size_t read = 0;
            for (std::size_t length = 0;;) {
                const std::size_t end = findLineEnd(tail, read, length);
                if (length == 0)
                    break;
                read = end + length;
            }
            if (read > 0) {
                take(std::string_view(tail).substr(0, read));
                tail.erase(0, read);
                continue;
            }
            // The last bytes are kept, as the line end may be cut between them and the next piece.
            checkSkipped(tail, false);
            skipped.assign(tail, tail.size() - 2, 2);
            tail.clear();
            skipping = true;
        }
    }

    // The bytes of an over-long line up to its end; what follows it.
    std::string_view skipOverLongLine(std::string_view bytes)
    {
        const std::string edge = skipped + std::string(bytes.substr(0, 2));
        std::size_t length = 0;
        std::size_t end = findLineEnd(edge, 0, length);
        if (length > 0 && end < skipped.size()) {
            skipping = false;
            checkSkipped(bytes.substr(0, end + length - skipped.size()), true);
            return bytes.substr(end + length - skipped.size());
        }
        end = findLineEnd(bytes, 0, length);
        if (length > 0) {
            skipping = false;
            checkSkipped(bytes.substr(0, end), true);
            return bytes.substr(end + length);
        }
        checkSkipped(bytes, false);
        skipped = (skipped + std::string(bytes.substr(bytes.size() - std::min<std::size_t>(bytes.size(), 2))));
        skipped.erase(0, skipped.size() - std::min<std::size_t>(skipped.size(), 2));
        return {};
    }

    // Whole lines, in order.
    void take(std::string_view text)
    {
        if (!pieces) {
            if (strictUtf8 && !simdjson::validate_utf8(text.data(), text.size()))
                throw CommandFailure(CommandError::invalidResponse);
            lines.read(text, true, declaredLength);
            return;
        }
        if (current.capacity() == 0)
            current = pieces->spareText(pieceBytes + (std::size_t(1) << 16));
        current.append(text);
        if (current.size() >= pieceBytes)
            startPiece(true);
    }

    // The text gathered as a piece of its own, read on a worker of Qt's pool (`onWorker`) or later by finish().
    void startPiece(bool onWorker)
    {
        auto piece = std::make_shared<PlaylistPiece>();
        if (pieces->list.empty()) {
            expectedRows = estimatedEntries(std::string_view(current).substr(0, 1 << 20), declaredLength);
            // A playlist of unknown length is given room for tens of thousands of groups.
            pieces->made = std::make_unique<MadeGroups>(expectedRows > 0 ? std::size_t(expectedRows) : 1U << 15);
        }
        piece->text = std::move(current);
        current = {};
        piece->opening = pieces->list.empty();
        pieces->list.push_back(piece);
        if (onWorker)
            startOnWorker([shared = pieces, piece] {
                if (!piece->claimed.exchange(true))
                    shared->read(*piece);
            });
    }

    void rethrowFailure()
    {
        const std::lock_guard lock(pieces->mutex);
        if (pieces->firstFailure)
            std::rethrow_exception(pieces->firstFailure);
    }

    // The pieces read so far, in order, joined to the entries: each piece's own table goes as soon as it is joined,
    // and finish() has only the last ones to join. An information line one piece leaves waiting takes the address
    // line the next piece opens with, as reading the text in one go would have it.
    void joinReadPieces()
    {
        std::size_t ready = joinedPieces;
        {
            const std::lock_guard lock(pieces->mutex);
            while (ready < pieces->list.size() && pieces->list[ready]->done)
                ++ready;
        }
        for (; joinedPieces < ready; ++joinedPieces) {
            PlaylistPiece& piece = *pieces->list[joinedPieces];
            if (piece.failure)
                std::rethrow_exception(piece.failure);
            if (waiting && piece.firstAddress) {
                PlaylistBuilder builder(origin, true);
                QByteArray scratch;
                if (const auto address = builder.address(*piece.firstAddress, scratch))
                    builder.add(*waiting, *piece.firstAddress, *address);
                join(std::move(builder.nodes), builder.groups());
                waiting.reset();
            }
            join(std::move(piece.nodes), piece.groups);
            piece.groups = GroupBook();
            if (piece.metInformation)
                waiting = std::move(piece.waiting);
            piece.nodes = NodeTable();
            piece.firstAddress.reset();
            piece.waiting.reset();
        }
    }

    // A piece's rows taken over, their group titles looked up among the playlist's (each group made once, as
    // reading on one thread makes it) and their kinds completed with what the group's name says; the rows
    // themselves are written after (by push(), or by finish() on several threads).
    void join(NodeTable&& nodes, GroupBook& groups)
    {
        if (nodes.isEmpty())
            return;
        if (joined.isEmpty() && expectedRows > nodes.size())
            joined.reserve(expectedRows);
        const auto& titles = groups.titles();
        std::vector<NodeTable::Regrouped> regrouped(titles.size());
        const auto regroup = [&](std::size_t i, const GroupBook::Found& found) {
            NodeTable::Regrouped& to = regrouped[i];
            to.group = found.group;
            // A series keyword in the group wins over anything its addresses say; a film keyword over a live channel.
            if (found.hint == KindHint::episodic)
                to.kinds.fill(SignalKind::episodic);
            else if (found.hint == KindHint::cinema)
                to.kinds[std::size_t(SignalKind::broadcast)] = SignalKind::cinema;
        };
        // A piece's titles are distinct. Those not met before were mostly made by the workers that read the pieces;
        // the rest (a title another claimed by its hash, or not yet made) are made here. All are numbered in the
        // order met.
        constexpr std::size_t ahead = 8;
        for (std::size_t i = 0; i < titles.size(); ++i) {
            if (i + ahead < titles.size())
                joinedGroups.prefetch(titles[i + ahead].hash);
            const std::string_view title = groups.text(titles[i]);
            if (const auto found = joinedGroups.lookUp(title, titles[i].hash)) {
                regroup(i, *found);
                continue;
            }
            MadeGroup made;
            if (MadeGroup* own = groups.premade(i))
                made = std::move(*own);
            else if (const MadeGroup* shared =
                         pieces && pieces->made ? pieces->made->find(titles[i].hash, title) : nullptr)
                made = *shared;
            else
                made = makeGroup(title);
            regroup(i, joinedGroups.add(title, titles[i].hash, {joined.addGroup(made.id, made.name), made.hint}));
        }
        adoptions.push_back(joined.adopt(std::move(nodes), std::move(regrouped)));
    }

    // Strict UTF-8 over the bytes of a skipped line as they arrive (a character cut between pieces is checked once it
    // is whole); `last` ends the line. The lines read are checked whole as they are read.
    void checkSkipped(std::string_view bytes, bool last)
    {
        if (!strictUtf8)
            return;
        const auto fail = [] { throw CommandFailure(CommandError::invalidResponse); };
        if (!cutChar.empty()) {
            const std::size_t wanted = claimedLength(static_cast<unsigned char>(cutChar[0]));
            const std::size_t n = std::min(wanted - cutChar.size(), bytes.size());
            cutChar.append(bytes.substr(0, n));
            bytes.remove_prefix(n);
            if (cutChar.size() == wanted) {
                if (!simdjson::validate_utf8(cutChar.data(), cutChar.size()))
                    fail();
                cutChar.clear();
            } else if (!last) {
                return;
            }
        }
        const std::size_t cut = cutCharacter(bytes);
        if (!simdjson::validate_utf8(bytes.data(), cut))
            fail();
        cutChar.append(bytes.substr(cut));
        if (last && !cutChar.empty())
            fail();
    }

    const QUrl origin;
    LineReader lines; // reading on one thread
    bool strictUtf8;
    std::size_t pieceBytes;
    std::shared_ptr<PlaylistPieces> pieces; // reading on several
    std::string current;                    // the piece being gathered
    qint64 declaredLength = -1;
    std::string tail;      // the line still coming in
    bool skipping = false; // past an over-long line, up to its end
    std::string skipped;   // that line's last bytes
    std::string cutChar;   // a UTF-8 character the last piece cut
    // Joining the pieces read.
    NodeTable joined;
    GroupBook joinedGroups;
    std::vector<NodeTable::Adoption> adoptions; // rows still to write
    std::size_t joinedPieces = 0;
    std::optional<std::string> waiting; // the information line the pieces joined leave waiting
    qsizetype expectedRows = 0;
    netkit::CancelToken token;
    netkit::CancelRegistration cancelled;
};

PlaylistReader::PlaylistReader(const QUrl& origin, bool strictUtf8, qsizetype pieceBytes, netkit::CancelToken token)
    : m_state(std::make_unique<State>(origin, strictUtf8, pieceBytes, std::move(token)))
{}

PlaylistReader::~PlaylistReader() = default;

void PlaylistReader::push(QByteArrayView piece, qint64 declaredLength)
{
    m_state->push(piece, declaredLength);
}

NodeTable PlaylistReader::finish()
{
    return m_state->finish();
}

NodeTable PlaylistIngestor::parseTable(QByteArrayView utf8, const QUrl& origin)
{
    PlaylistReader reader(origin);
    reader.push(utf8, utf8.size());
    return reader.finish();
}

QList<MediaNode> PlaylistIngestor::parse(QByteArrayView utf8, const QUrl& origin)
{
    return parseTable(utf8, origin).toList();
}

QCoro::Task<NodeTable> PlaylistIngestor::download(QUrl address, netkit::CancelToken token) const
{
    return downloadWith(m_session, std::move(address), std::move(token));
}

QCoro::Task<NodeTable> PlaylistIngestor::downloadWith(netkit::HttpSession session, QUrl address,
                                                      netkit::CancelToken token)
{
    // Read while it arrives: reading overlaps the download, and pieces of 2 MiB are read on several workers at once
    // (as a panel's three lists are), each let go once read.
    auto reader = std::make_shared<PlaylistReader>(address, true, kPieceBytes, token);
    auto nodes = std::make_shared<NodeTable>();
    netkit::HttpRequest request;
    request.url = address;
    request.idleTimeout = kDownloadTimeout;
    request.boundAsLargeList();
    auto read = [reader](QByteArray chunk, qint64 declaredLength) { reader->push(chunk, declaredLength); };
    auto end = [reader, nodes] { *nodes = reader->finish(); };
    co_await readWhileArriving(std::move(session), std::move(request), std::move(read), std::move(end), token);
    if (nodes->isEmpty())
        throw CommandFailure(CommandError::emptyCatalog);
    co_return std::move(*nodes);
}

} // namespace sendra
