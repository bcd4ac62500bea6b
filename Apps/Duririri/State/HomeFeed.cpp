#include "State/HomeFeed.h"

#include "Domain/L10n.h"
#include "NetKit/HashSeed.h"
#include "State/TextFold.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

namespace sendra {

namespace {

constexpr qsizetype maxFeaturedGroups = 12;
constexpr qsizetype featuredPerKind = 4;
constexpr qsizetype featuredLanes = 3;
constexpr qsizetype featuredLaneLength = 24;
constexpr size_t fullFeed = 7;
constexpr qsizetype addedLaneLength = 22;
constexpr size_t bucketArtworkWindow = 12;

// Whether a text holds at least `wanted` user-perceived characters. Qt's finder works out every break kind over
// all it is given (Thai words through a dictionary, far above linear on a long run), so it sees a prefix that holds
// a few characters of any script. A break depends only on what precedes it, so every character that starts inside
// the prefix is one of the whole text's, provided the prefix does not end inside a surrogate pair.
bool hasCharacters(const QString& text, qsizetype wanted)
{
    constexpr qsizetype prefixLength = 256;
    qsizetype length = std::min(text.size(), prefixLength);
    if (length < text.size() && text.at(length - 1).isHighSurrogate())
        --length;
    const QStringView prefix = QStringView(text).first(length);
    if (std::all_of(prefix.begin(), prefix.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return length >= wanted;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, prefix.data(), prefix.size());
    qsizetype count = 0;
    while (count < wanted && finder.toNextBoundary() != -1)
        ++count;
    return count >= wanted;
}

bool containsLetter(const QString& text)
{
    const QList<uint> codePoints = text.toUcs4();
    return std::any_of(codePoints.begin(), codePoints.end(),
                       [](uint c) { return QChar::isLetter(c) || QChar::isMark(c); });
}

bool isDateLike(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(R"(\b\d{1,2}[\/.-]\d{1,2}\b)"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern.match(text).hasMatch();
}

QString laneSubtitle(const CatalogSnapshot& snapshot, SignalKind kind)
{
    return snapshot.usesGenericPresentation() ? LaneText::availableContent() : LaneText::kindTitle(kind);
}

struct CuratedLane {
    const char* title;
    const char* genericTitle;
    const char* subtitle;
};

CuratedLane curatedLane(SignalKind kind)
{
    switch (kind) {
    case SignalKind::broadcast:
        return {L10n::noop("TV para explorar"), L10n::noop("Más para explorar"),
                L10n::noop("Señales de distintas categorías")};
    case SignalKind::cinema:
        return {L10n::noop("Películas para descubrir"), L10n::noop("Selección para ti"),
                L10n::noop("Una mezcla de géneros disponibles")};
    case SignalKind::episodic:
        return {L10n::noop("Series para empezar"), L10n::noop("Historias disponibles"),
                L10n::noop("Opciones de diferentes colecciones")};
    }
    return {};
}

// Node keys already shown by the feed being built, by key owner.
class ShownKeys
{
public:
    explicit ShownKeys(const CatalogSnapshot& snapshot)
        : m_snapshot(snapshot), m_shown(snapshot.entries().size(), false)
    {}
    void add(uint32_t position) { m_shown[m_snapshot.entries().keyOwner(position)] = true; }
    // What the centre may recommend and no lane shows yet.
    bool unused(uint32_t position) const
    {
        return m_snapshot.isCenterKey(position) && !m_shown[m_snapshot.entries().keyOwner(position)];
    }

private:
    const CatalogSnapshot& m_snapshot;
    std::vector<bool> m_shown;
};

// The varied pick over the candidates that pass `keep`, without building the filtered list.
template <class Positions, class Keep>
std::vector<uint32_t> variedPick(const CatalogSnapshot& snapshot, const Positions& candidates, Keep&& keep,
                                 qsizetype limit)
{
    if (limit < 1)
        return {};
    const CatalogEntries& entries = snapshot.entries();
    struct Bucket {
        size_t size = 0;
        int artwork = 0;
        std::vector<uint32_t> head; // the entries a pick of `limit` can reach
    };
    std::vector<uint32_t> bucketOfGroup(entries.groups().size(), UINT32_MAX);
    std::vector<Bucket> buckets;
    for (uint32_t position : candidates) {
        if (!keep(position))
            continue;
        uint32_t& index = bucketOfGroup[entries.groupOf(position)];
        if (index == UINT32_MAX) {
            index = uint32_t(buckets.size());
            buckets.emplace_back();
        }
        Bucket& bucket = buckets[index];
        if (bucket.size < bucketArtworkWindow && entries.hasArtwork(position))
            ++bucket.artwork;
        if (qsizetype(bucket.head.size()) < limit)
            bucket.head.push_back(position);
        ++bucket.size;
    }
    std::stable_sort(buckets.begin(), buckets.end(), [](const Bucket& a, const Bucket& b) {
        return a.artwork != b.artwork ? a.artwork > b.artwork : a.size > b.size;
    });

    std::vector<uint32_t> pick;
    std::vector<size_t> taken(buckets.size(), 0);
    size_t exhausted = 0;
    for (size_t cursor = 0; exhausted < buckets.size() && qsizetype(pick.size()) < limit; ++cursor) {
        const size_t b = cursor % buckets.size();
        if (taken[b] == buckets[b].head.size())
            continue;
        pick.push_back(buckets[b].head[taken[b]++]);
        if (taken[b] == buckets[b].head.size())
            ++exhausted;
    }
    return pick;
}

// Positions of a node view, iterable without copying.
struct ViewPositions {
    const NodeView& view;
    struct Iterator {
        const NodeView* view;
        qsizetype index;
        uint32_t operator*() const { return view->position(index); }
        Iterator& operator++()
        {
            ++index;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return index != other.index; }
    };
    Iterator begin() const { return {&view, 0}; }
    Iterator end() const { return {&view, view.size()}; }
};

bool policyDropsLane(const CatalogSnapshot& snapshot, const LanePlan& lane)
{
    const QSet<QString>& blocked = snapshot.centerPolicy().blockedGroups();
    const QString title = foldedText(lane.title);
    return blocked.contains(foldedText(lane.id)) || blocked.contains(title) ||
           containsAdultKeyword(title.toStdString());
}

// The home content policy over a feed: lanes with a blocked id or title or an adult title go, and so do the
// entries it does not recommend; an empty lane goes; a disallowed spotlight gives way to the first kept entry.
FeedPlan recommendedFeed(const CatalogSnapshot& snapshot, FeedPlan feed)
{
    std::vector<LanePlan> kept;
    for (LanePlan& lane : feed.lanes) {
        if (policyDropsLane(snapshot, lane))
            continue;
        std::erase_if(lane.positions, [&](uint32_t p) { return !snapshot.isRecommended(p); });
        if (!lane.positions.empty())
            kept.push_back(std::move(lane));
    }
    feed.lanes = std::move(kept);
    if (!feed.spotlight || !snapshot.isRecommended(*feed.spotlight)) {
        feed.spotlight.reset();
        if (!feed.lanes.empty())
            feed.spotlight = feed.lanes.front().positions.front();
    }
    return feed;
}

// The prepared entries' lookups, answered in one pass over the entry list: the first entry with the same id and
// folded title, the first with the same node key, the first with the same folded title. The id and the title
// stay a pair, so an id holding ":" cannot pass for another id and title.
class PreparedResolver
{
public:
    PreparedResolver(const CatalogSnapshot& snapshot, const CommandFeed& prepared, const NodeView& nodes)
    {
        auto add = [&](const MediaNode& node) {
            const size_t index = m_wanted.size();
            Title& title = m_titles.try_emplace(foldedUtf8(node.title)).first->second;
            title.wanted.push_back(index);
            m_wanted.push_back({node.id.toUtf8(), node.kind, &title});
            m_byKey[CatalogEntries::keyHash(node.kind, node.id)].push_back(index);
        };
        if (prepared.spotlight)
            add(*prepared.spotlight);
        for (const CommandLane& lane : prepared.lanes) {
            for (const MediaNode& node : lane.nodes)
                add(node);
        }
        scan(snapshot, nodes);
    }

    // The resolution of the i-th prepared entry (the spotlight first, then the lane entries in order).
    std::optional<uint32_t> resolved(size_t i) const
    {
        const Wanted& w = m_wanted[i];
        for (uint32_t found : {w.byIdAndTitle, w.byKey, w.title->first}) {
            if (found != none)
                return found;
        }
        return std::nullopt;
    }

private:
    static constexpr uint32_t none = UINT32_MAX;
    struct Title {
        uint32_t first = none;
        std::vector<size_t> wanted;
    };
    struct Wanted {
        QByteArray id; // UTF-8, as the entries keep theirs
        SignalKind kind;
        const Title* title;
        uint32_t byIdAndTitle = none;
        uint32_t byKey = none;
    };

    void scan(const CatalogSnapshot& snapshot, const NodeView& nodes)
    {
        const CatalogEntries& entries = snapshot.entries();
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            const uint32_t p = nodes.position(i);
            const QUtf8StringView id = entries.id(p);
            if (const auto title = m_titles.find(entries.foldedTitle(p)); title != m_titles.end()) {
                if (title->second.first == none)
                    title->second.first = p;
                for (size_t w : title->second.wanted) {
                    if (m_wanted[w].byIdAndTitle == none && QUtf8StringView(m_wanted[w].id) == id)
                        m_wanted[w].byIdAndTitle = p;
                }
            }
            if (const auto key = m_byKey.constFind(entries.keyHash(p)); key != m_byKey.cend()) {
                for (size_t w : *key) {
                    if (m_wanted[w].byKey == none && m_wanted[w].kind == entries.kind(p) &&
                        QUtf8StringView(m_wanted[w].id) == id)
                        m_wanted[w].byKey = p;
                }
            }
        }
    }

    // Node-based, so the Wanted entries' pointers stay put while titles are added.
    std::unordered_map<std::string, Title, netkit::SeededTextHash, std::equal_to<>> m_titles;
    std::vector<Wanted> m_wanted;
    QHash<uint32_t, std::vector<size_t>> m_byKey; // by node-key hash
};

} // namespace

QString LaneText::kindTitle(SignalKind kind)
{
    return QString::fromUtf8(titleText(kind));
}

QString LaneText::availableContent()
{
    return QString::fromUtf8(L10n::noop("Contenido disponible"));
}

bool isUsefulFeaturedGroupName(const QString& foldedName)
{
    static const QStringList catchAll{QStringLiteral("todo"),          QStringLiteral("todos"),
                                      QStringLiteral("all"),           QStringLiteral("contenido"),
                                      QStringLiteral("uncategorized"), QStringLiteral("sin categoria")};
    return hasCharacters(foldedName, 3) && containsLetter(foldedName) && !catchAll.contains(foldedName) &&
           !isDateLike(foldedName);
}

bool isUsefulFeaturedGroup(const MediaGroup& group)
{
    return isUsefulFeaturedGroupName(foldedText(group.name));
}

QList<MediaGroup> selectFeaturedGroups(const CatalogSnapshot& snapshot)
{
    const CatalogEntries& entries = snapshot.entries();
    struct Candidate {
        qsizetype sorted; // index in snapshot.groups()
        int quality;
    };
    std::array<std::vector<Candidate>, 3> byKind;
    std::vector<Candidate> candidates;
    const QList<MediaGroup>& groups = snapshot.groups();
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const uint32_t group = snapshot.groupIndexOf(i);
        const CatalogEntries::Name& name = entries.names()[entries.nameOf(snapshot.positionsOfGroup(group).front())];
        const bool allowed = !snapshot.centerPolicy().blockedGroups().contains(entries.groups()[group].foldedID) &&
                             !snapshot.centerPolicy().blockedGroups().contains(name.folded) && !name.adult;
        if (!name.useful || !allowed)
            continue;
        const Candidate candidate{i, snapshot.groupQuality(group)};
        candidates.push_back(candidate);
        byKind[size_t(groups[i].kind)].push_back(candidate);
    }
    // Within a kind the candidates already come in name order, so a stable sort on quality breaks ties by name.
    auto byQuality = [](const Candidate& a, const Candidate& b) { return a.quality > b.quality; };
    for (auto& list : byKind) {
        std::stable_sort(list.begin(), list.end(), byQuality);
        if (qsizetype(list.size()) > featuredPerKind)
            list.resize(featuredPerKind);
    }

    QList<MediaGroup> featured;
    std::vector<bool> chosen(size_t(groups.size()), false);
    for (qsizetype slot = 0; slot < featuredPerKind; ++slot) {
        for (const auto& list : byKind) {
            if (slot < qsizetype(list.size())) {
                featured.append(groups[list[size_t(slot)].sorted]);
                chosen[size_t(list[size_t(slot)].sorted)] = true;
            }
        }
    }
    if (featured.size() < maxFeaturedGroups) {
        std::erase_if(candidates, [&](const Candidate& c) { return chosen[size_t(c.sorted)]; });
        std::stable_sort(candidates.begin(), candidates.end(), byQuality);
        for (const Candidate& c : candidates) {
            if (featured.size() >= maxFeaturedGroups)
                break;
            featured.append(groups[c.sorted]);
        }
    }
    return featured.first(std::min(featured.size(), maxFeaturedGroups));
}

NodeView nodesInGroup(const std::shared_ptr<const CatalogSnapshot>& snapshot, const MediaGroup& group,
                      std::optional<qsizetype> limit)
{
    const qsizetype index = snapshot->entries().groupIndex(group.id);
    if (index < 0)
        return NodeView(snapshot, std::span<const uint32_t>());
    const NodeView all(snapshot, snapshot->positionsOfGroup(uint32_t(index)));
    return limit ? all.first(*limit) : all;
}

std::vector<uint32_t> variedPositions(const CatalogSnapshot& snapshot, std::span<const uint32_t> candidates,
                                      qsizetype limit)
{
    return variedPick(
        snapshot, candidates, [](uint32_t) { return true; }, limit);
}

FeedPlan planFeed(const CatalogSnapshot& snapshot, const NodeView& nodes)
{
    FeedPlan feed;
    const CatalogEntries& entries = snapshot.entries();
    const QList<MediaGroup>& featured = snapshot.featuredGroups();
    for (qsizetype i = 0; i < std::min(featured.size(), featuredLanes); ++i) {
        const MediaGroup& group = featured[i];
        const qsizetype index = entries.groupIndex(group.id);
        const std::span<const uint32_t> members =
            index < 0 ? std::span<const uint32_t>() : snapshot.positionsOfGroup(uint32_t(index));
        if (members.empty())
            continue;
        const auto shown = members.first(std::min<size_t>(members.size(), featuredLaneLength));
        feed.lanes.push_back({group.id, group.name, laneSubtitle(snapshot, group.kind),
                              std::vector<uint32_t>(shown.begin(), shown.end()), false, true});
    }
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        if (entries.kind(nodes.position(i)) == SignalKind::cinema) {
            feed.spotlight = nodes.position(i);
            break;
        }
    }
    if (!feed.spotlight && !nodes.isEmpty())
        feed.spotlight = nodes.position(0);
    return enrichFeed(snapshot, std::move(feed), nodes);
}

FeedPlan enrichFeed(const CatalogSnapshot& snapshot, FeedPlan feed, const NodeView& nodes)
{
    FeedPlan filtered = recommendedFeed(snapshot, std::move(feed));
    std::vector<LanePlan>& lanes = filtered.lanes;
    if (lanes.size() >= fullFeed)
        return filtered;

    ShownKeys shown(snapshot);
    for (const LanePlan& lane : lanes) {
        for (uint32_t p : lane.positions)
            shown.add(p);
    }
    auto unused = [&](uint32_t p) { return shown.unused(p); };
    auto append = [&](QString id, QString title, QString subtitle, std::vector<uint32_t> pick, bool titleIsText) {
        if (pick.size() < 2)
            return;
        for (uint32_t p : pick)
            shown.add(p);
        lanes.push_back({std::move(id), std::move(title), std::move(subtitle), std::move(pick), titleIsText, true});
    };

    const bool generic = snapshot.usesGenericPresentation();
    for (SignalKind kind : allSignalKinds) {
        if (lanes.size() >= fullFeed)
            break;
        const CuratedLane text = curatedLane(kind);
        append(QStringLiteral("command-curated-") + storedValue(kind),
               QString::fromUtf8(generic ? text.genericTitle : text.title), QString::fromUtf8(text.subtitle),
               variedPick(snapshot, snapshot.positionsOfKind(kind), unused, addedLaneLength), true);
    }
    if (lanes.size() < fullFeed) {
        append(QStringLiteral("command-curated-mixed"), QString::fromUtf8(L10n::noop("Descubre algo diferente")),
               QString::fromUtf8(L10n::noop("Un surtido de toda tu fuente")),
               variedPick(snapshot, ViewPositions{nodes}, unused, addedLaneLength), true);
    }
    const CatalogEntries& entries = snapshot.entries();
    for (const MediaGroup& group : snapshot.featuredGroups()) {
        if (lanes.size() >= fullFeed)
            break;
        const bool hasLane =
            std::any_of(lanes.begin(), lanes.end(), [&](const LanePlan& lane) { return lane.id == group.id; });
        if (hasLane)
            continue;
        const qsizetype index = entries.groupIndex(group.id);
        const std::span<const uint32_t> members =
            index < 0 ? std::span<const uint32_t>() : snapshot.positionsOfGroup(uint32_t(index));
        append(QStringLiteral("command-category-") + group.id, group.name, laneSubtitle(snapshot, group.kind),
               variedPick(snapshot, members, unused, addedLaneLength), false);
    }
    return filtered;
}

FeedPlan rewritePreparedFeed(const CatalogSnapshot& snapshot, const CommandFeed& prepared, const NodeView& nodes)
{
    const PreparedResolver resolver(snapshot, prepared, nodes);
    size_t next = prepared.spotlight ? 1 : 0;
    FeedPlan feed;
    feed.revision = prepared.revision;
    for (const CommandLane& lane : prepared.lanes) {
        // The platform's texts are data; only the generic subtitle put in their place is the deck's own.
        const bool generic = snapshot.usesGenericPresentation();
        LanePlan kept{lane.id, lane.title, generic ? LaneText::availableContent() : lane.subtitle, {}, false, generic};
        for (qsizetype i = 0; i < lane.nodes.size(); ++i) {
            if (const std::optional<uint32_t> p = resolver.resolved(next++))
                kept.positions.push_back(*p);
        }
        if (!kept.positions.empty())
            feed.lanes.push_back(std::move(kept));
    }
    if (prepared.spotlight)
        feed.spotlight = resolver.resolved(0);
    if (!feed.spotlight && !feed.lanes.empty())
        feed.spotlight = feed.lanes.front().positions.front();
    return enrichFeed(snapshot, std::move(feed), nodes);
}

CommandFeed materialize(const CatalogSnapshot& snapshot, const FeedPlan& plan)
{
    CommandFeed feed;
    feed.revision = plan.revision;
    if (plan.spotlight)
        feed.spotlight = snapshot.node(*plan.spotlight);
    feed.lanes.reserve(qsizetype(plan.lanes.size()));
    for (const LanePlan& lane : plan.lanes) {
        CommandLane out{lane.id, lane.title, lane.subtitle, {}, lane.titleIsText, lane.subtitleIsText};
        out.nodes.reserve(qsizetype(lane.positions.size()));
        for (uint32_t p : lane.positions)
            out.nodes.append(snapshot.node(p));
        feed.lanes.append(std::move(out));
    }
    return feed;
}

} // namespace sendra
