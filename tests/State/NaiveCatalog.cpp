#include "NaiveCatalog.h"

#include "Domain/L10n.h"

#include <QCollator>
#include <QLocale>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace naive {

namespace {

QString fold(const QString& text)
{
    return CenterContentPolicy::normalize(text);
}

QString groupKey(const MediaNode& node)
{
    return storedValue(node.kind) + u':' + node.groupID;
}

QLocale collationLocale()
{
    const QLocale locale;
    return locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : locale;
}

const QCollator& collator(Qt::CaseSensitivity sensitivity)
{
    static const auto make = [](Qt::CaseSensitivity s) {
        QCollator c(collationLocale());
        c.setNumericMode(true);
        c.setCaseSensitivity(s);
        return c;
    };
    static const QCollator insensitive = make(Qt::CaseInsensitive);
    static const QCollator sensitive = make(Qt::CaseSensitive);
    return sensitivity == Qt::CaseInsensitive ? insensitive : sensitive;
}

QString kindTitleKey(SignalKind kind)
{
    switch (kind) {
    case SignalKind::broadcast: return QStringLiteral("TV");
    case SignalKind::cinema: return QStringLiteral("Películas");
    case SignalKind::episodic: return QStringLiteral("Series");
    }
    return {};
}

QString subtitleFor(const Catalog& catalog, SignalKind kind)
{
    return catalog.usesGenericPresentation ? QStringLiteral("Contenido disponible") : kindTitleKey(kind);
}

} // namespace

int compareNames(const QString& a, const QString& b)
{
    if (const int c = collator(Qt::CaseInsensitive).compare(a, b); c != 0)
        return c;
    return collator(Qt::CaseSensitive).compare(a, b);
}

QList<MediaNode> Catalog::visibleNodes() const
{
    QList<MediaNode> all;
    for (SignalKind kind : allSignalKinds)
        all += nodesByKind.value(kind);
    return all;
}

bool isUsefulFeaturedGroup(const MediaGroup& group)
{
    const QString name = fold(group.name);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    int characters = 0;
    while (graphemes.toNextBoundary() != -1)
        ++characters;
    if (characters < 3)
        return false;
    bool letter = false;
    for (uint c : name.toUcs4())
        letter = letter || QChar::isLetter(c) || QChar::isMark(c);
    if (!letter)
        return false;
    if (QStringList{"todo", "todos", "all", "contenido", "uncategorized", "sin categoria"}.contains(name))
        return false;
    const QRegularExpression dayMonth(QStringLiteral("\\b\\d{1,2}[\\/.-]\\d{1,2}\\b"),
                                      QRegularExpression::UseUnicodePropertiesOption);
    return !dayMonth.match(name).hasMatch();
}

Catalog apply(const QList<MediaNode>& nodes, const QSet<QString>& blockedGroups, bool parental)
{
    Catalog c;
    c.centerPolicy = CenterContentPolicy(blockedGroups);
    const QList<MediaNode> visible = parental ? c.centerPolicy.recommendations(nodes) : nodes;

    c.usesGenericPresentation =
        !visible.isEmpty() && std::all_of(visible.begin(), visible.end(), [](const MediaNode& n) {
            return n.contentClassification && *n.contentClassification == u"generic";
        });
    for (SignalKind kind : allSignalKinds) {
        for (const MediaNode& n : visible) {
            const bool generic = n.contentClassification && *n.contentClassification == u"generic";
            if (!generic && n.kind == kind) {
                c.presentedKinds.append(kind);
                break;
            }
        }
    }

    const QList<MediaNode> recommended = c.centerPolicy.recommendations(visible);
    for (const MediaNode& n : recommended)
        c.centerNodeKeys.insert(n.catalogKey());
    c.spotlight = SpotlightCatalog(recommended);

    QStringList groupOrder; // group keys in order of first appearance
    for (const MediaNode& n : visible) {
        c.nodesByKind[n.kind].append(n);
        const QString key = groupKey(n);
        if (!c.nodesByGroup.contains(key))
            groupOrder.append(key);
        c.nodesByGroup[key].append(n);
    }
    for (const QString& key : groupOrder) {
        const MediaNode& first = c.nodesByGroup[key].first();
        c.groups.append(MediaGroup{key, first.groupName, first.kind});
    }
    std::stable_sort(c.groups.begin(), c.groups.end(), [](const MediaGroup& a, const MediaGroup& b) {
        if (a.kind != b.kind)
            return int(a.kind) < int(b.kind);
        return compareNames(a.name, b.name) < 0;
    });
    for (const MediaGroup& g : c.groups) {
        c.groupsByKind[g.kind].append(g);
        if (isUsefulFeaturedGroup(g)) {
            c.browsableGroups.append(g);
            c.browsableGroupsByKind[g.kind].append(g);
        }
    }
    c.featuredGroups = makeFeaturedGroups(c);
    for (const MediaNode& n : visible)
        c.searchCorpus.append({n, fold(n.title), fold(n.groupName)});
    return c;
}

int groupQuality(const Catalog& catalog, const MediaGroup& group)
{
    const QList<MediaNode> entries = catalog.nodesByGroup.value(group.id);
    if (entries.isEmpty())
        return 0;
    int artwork = 0;
    for (qsizetype i = 0; i < std::min<qsizetype>(40, entries.size()); ++i)
        artwork += entries[i].artwork ? 1 : 0;
    return int(std::min<qsizetype>(entries.size(), 250)) + 4 * artwork;
}

QList<MediaGroup> makeFeaturedGroups(const Catalog& catalog)
{
    QList<MediaGroup> candidates;
    for (const MediaGroup& g : catalog.groups) {
        const QList<MediaNode> entries = catalog.nodesByGroup.value(g.id);
        const QString firstID = entries.isEmpty() ? QString() : entries.first().groupID;
        if (isUsefulFeaturedGroup(g) && catalog.centerPolicy.allowsCategory(firstID, g.name))
            candidates.append(g);
    }
    QMap<SignalKind, QList<MediaGroup>> kept;
    for (SignalKind kind : allSignalKinds) {
        QList<MediaGroup> ofKind;
        for (const MediaGroup& g : candidates) {
            if (g.kind == kind)
                ofKind.append(g);
        }
        std::stable_sort(ofKind.begin(), ofKind.end(), [&](const MediaGroup& a, const MediaGroup& b) {
            const int qa = groupQuality(catalog, a);
            const int qb = groupQuality(catalog, b);
            if (qa != qb)
                return qa > qb;
            return compareNames(a.name, b.name) < 0;
        });
        kept[kind] = ofKind.mid(0, 4);
    }
    QList<MediaGroup> chosen;
    for (int position = 0; position < 4; ++position) {
        for (SignalKind kind : allSignalKinds) {
            if (position < kept[kind].size())
                chosen.append(kept[kind][position]);
        }
    }
    if (chosen.size() < 12) {
        QList<MediaGroup> rest;
        for (const MediaGroup& g : candidates) {
            if (!std::any_of(chosen.begin(), chosen.end(), [&](const MediaGroup& c) { return c.id == g.id; }))
                rest.append(g);
        }
        std::stable_sort(rest.begin(), rest.end(), [&](const MediaGroup& a, const MediaGroup& b) {
            return groupQuality(catalog, a) > groupQuality(catalog, b);
        });
        chosen += rest.mid(0, 12 - chosen.size());
    }
    return chosen.mid(0, 12);
}

QList<MediaNode> searchResults(const Catalog& catalog, const QString& searchText)
{
    const QString query = fold(searchText);
    if (query.isEmpty())
        return {};
    struct Hit {
        MediaNode node;
        int rank;
    };
    QList<Hit> hits;
    for (const CorpusEntry& e : catalog.searchCorpus) {
        int rank = -1;
        if (e.title == query)
            rank = 0;
        else if (e.title.startsWith(query))
            rank = 1;
        else if (e.title.contains(query))
            rank = 2;
        else if (e.group.startsWith(query))
            rank = 3;
        else if (e.group.contains(query))
            rank = 4;
        if (rank >= 0)
            hits.append({e.node, rank});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return compareNames(a.node.title, b.node.title) < 0;
    });
    QList<MediaNode> result;
    for (const Hit& h : hits)
        result.append(h.node);
    return result;
}

QList<MediaNode> favoriteNodes(const Catalog& catalog, const QSet<QString>& favorites)
{
    QList<MediaNode> result;
    for (SignalKind kind : allSignalKinds) {
        for (const MediaNode& n : catalog.nodesByKind.value(kind)) {
            if (favorites.contains(n.catalogKey()))
                result.append(n);
        }
    }
    return result;
}

QList<MediaNode> centerFavoriteNodes(const Catalog& catalog, const QSet<QString>& favorites)
{
    return catalog.centerPolicy.recommendations(favoriteNodes(catalog, favorites));
}

QList<MediaNode> variedNodes(const QList<MediaNode>& nodes, int limit)
{
    QStringList order;
    QHash<QString, QList<MediaNode>> buckets;
    for (const MediaNode& n : nodes) {
        if (!buckets.contains(groupKey(n)))
            order.append(groupKey(n));
        buckets[groupKey(n)].append(n);
    }
    QList<QList<MediaNode>> sorted;
    for (const QString& key : order)
        sorted.append(buckets[key]);
    auto score = [](const QList<MediaNode>& bucket) {
        int s = 0;
        for (qsizetype i = 0; i < std::min<qsizetype>(12, bucket.size()); ++i)
            s += bucket[i].artwork ? 1 : 0;
        return s;
    };
    std::stable_sort(sorted.begin(), sorted.end(), [&](const QList<MediaNode>& a, const QList<MediaNode>& b) {
        if (score(a) != score(b))
            return score(a) > score(b);
        return a.size() > b.size();
    });
    if (limit < 1)
        return {};
    QList<MediaNode> result;
    int cursor = 0;
    while (result.size() < limit) {
        if (std::all_of(sorted.begin(), sorted.end(), [](const QList<MediaNode>& b) { return b.isEmpty(); }))
            break;
        QList<MediaNode>& bucket = sorted[cursor % sorted.size()];
        if (!bucket.isEmpty())
            result.append(bucket.takeFirst());
        ++cursor;
    }
    return result;
}

CommandFeed makeFeed(const Catalog& catalog, const QList<MediaNode>& nodes)
{
    CommandFeed feed;
    feed.revision = 1;
    for (const MediaGroup& g : catalog.featuredGroups.mid(0, 3)) {
        const QList<MediaNode> entries = catalog.nodesByGroup.value(g.id);
        if (!entries.isEmpty())
            feed.lanes.append({g.id, g.name, subtitleFor(catalog, g.kind), entries.mid(0, 24)});
    }
    for (const MediaNode& n : nodes) {
        if (n.kind == SignalKind::cinema) {
            feed.spotlight = n;
            break;
        }
    }
    if (!feed.spotlight && !nodes.isEmpty())
        feed.spotlight = nodes.first();
    return enrichFeed(catalog, feed, nodes);
}

CommandFeed enrichFeed(const Catalog& catalog, const CommandFeed& feed, const QList<MediaNode>& nodes)
{
    CommandFeed filtered = catalog.centerPolicy.recommendations(feed);
    if (filtered.lanes.size() >= 7)
        return filtered;
    QSet<QString> shown;
    for (const CommandLane& lane : filtered.lanes) {
        for (const MediaNode& n : lane.nodes)
            shown.insert(n.catalogKey());
    }
    auto unused = [&](const QList<MediaNode>& candidates) {
        QList<MediaNode> result;
        for (const MediaNode& n : candidates) {
            if (catalog.centerNodeKeys.contains(n.catalogKey()) && !shown.contains(n.catalogKey()))
                result.append(n);
        }
        return result;
    };
    auto add = [&](const QString& id, const QString& title, const QString& subtitle, const QList<MediaNode>& pick) {
        if (pick.size() < 2)
            return;
        filtered.lanes.append({id, title, subtitle, pick});
        for (const MediaNode& n : pick)
            shown.insert(n.catalogKey());
    };
    const bool generic = catalog.usesGenericPresentation;
    const QMap<SignalKind, QStringList> curated{
        {SignalKind::broadcast,
         {generic ? "Más para explorar" : "TV para explorar", "Señales de distintas categorías"}},
        {SignalKind::cinema,
         {generic ? "Selección para ti" : "Películas para descubrir", "Una mezcla de géneros disponibles"}},
        {SignalKind::episodic,
         {generic ? "Historias disponibles" : "Series para empezar", "Opciones de diferentes colecciones"}}};
    for (SignalKind kind : allSignalKinds) {
        if (filtered.lanes.size() < 7) {
            add("command-curated-" + storedValue(kind), curated[kind][0], curated[kind][1],
                variedNodes(unused(catalog.nodesByKind.value(kind)), 22));
        }
    }
    if (filtered.lanes.size() < 7)
        add("command-curated-mixed", "Descubre algo diferente", "Un surtido de toda tu fuente",
            variedNodes(unused(nodes), 22));
    if (filtered.lanes.size() < 7) {
        for (const MediaGroup& g : catalog.featuredGroups) {
            const bool hasLane = std::any_of(filtered.lanes.begin(), filtered.lanes.end(),
                                             [&](const CommandLane& lane) { return lane.id == g.id; });
            if (hasLane || filtered.lanes.size() >= 7)
                continue;
            add("command-category-" + g.id, g.name, subtitleFor(catalog, g.kind),
                variedNodes(unused(catalog.nodesByGroup.value(g.id)), 22));
        }
    }
    return filtered;
}

CommandFeed rewritePreparedFeed(const Catalog& catalog, const CommandFeed& prepared, const QList<MediaNode>& nodes)
{
    QHash<std::pair<QString, QString>, QList<MediaNode>> byIDAndTitle;
    QHash<QString, MediaNode> byNodeKey;
    QHash<QString, QList<MediaNode>> byTitle;
    for (const MediaNode& n : nodes) {
        byIDAndTitle[{n.id, fold(n.title)}].append(n);
        if (!byNodeKey.contains(n.catalogKey()))
            byNodeKey.insert(n.catalogKey(), n);
        byTitle[fold(n.title)].append(n);
    }
    auto resolved = [&](const MediaNode& p) -> std::optional<MediaNode> {
        if (const auto found = byIDAndTitle.value({p.id, fold(p.title)}); !found.isEmpty())
            return found.first();
        if (byNodeKey.contains(p.catalogKey()))
            return byNodeKey.value(p.catalogKey());
        if (const auto found = byTitle.value(fold(p.title)); !found.isEmpty())
            return found.first();
        return std::nullopt;
    };
    CommandFeed rewritten;
    rewritten.revision = prepared.revision;
    for (const CommandLane& lane : prepared.lanes) {
        QList<MediaNode> entries;
        for (const MediaNode& p : lane.nodes) {
            if (const auto n = resolved(p))
                entries.append(*n);
        }
        if (!entries.isEmpty()) {
            rewritten.lanes.append({lane.id, lane.title,
                                    catalog.usesGenericPresentation ? "Contenido disponible" : lane.subtitle,
                                    entries});
        }
    }
    if (prepared.spotlight)
        rewritten.spotlight = resolved(*prepared.spotlight);
    if (!rewritten.spotlight && !rewritten.lanes.isEmpty())
        rewritten.spotlight = rewritten.lanes.first().nodes.first();
    return enrichFeed(catalog, rewritten, nodes);
}

} // namespace naive
