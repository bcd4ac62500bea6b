#pragma once

// The catalogue rules written out step by step over lists of entries, with no index and no care for speed: the
// reference the engine is checked against.
#include "Domain/CatalogTypes.h"
#include "Domain/CenterContentPolicy.h"
#include "Domain/SpotlightCatalog.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <optional>

namespace naive {

using namespace sendra;

struct CorpusEntry {
    MediaNode node;
    QString title;
    QString group;
};

struct Catalog {
    CenterContentPolicy centerPolicy;
    bool usesGenericPresentation = false;
    QList<SignalKind> presentedKinds;
    QSet<QString> centerNodeKeys;
    SpotlightCatalog spotlight;
    QMap<SignalKind, QList<MediaNode>> nodesByKind;
    QHash<QString, QList<MediaNode>> nodesByGroup;
    QList<MediaGroup> groups;
    QMap<SignalKind, QList<MediaGroup>> groupsByKind;
    QList<MediaGroup> browsableGroups;
    QMap<SignalKind, QList<MediaGroup>> browsableGroupsByKind;
    QList<MediaGroup> featuredGroups;
    QList<CorpusEntry> searchCorpus;

    QList<MediaNode> visibleNodes() const;
};

Catalog apply(const QList<MediaNode>& nodes, const QSet<QString>& blockedGroups, bool parental);

bool isUsefulFeaturedGroup(const MediaGroup& group);
int groupQuality(const Catalog& catalog, const MediaGroup& group);
QList<MediaGroup> makeFeaturedGroups(const Catalog& catalog);

QList<MediaNode> searchResults(const Catalog& catalog, const QString& searchText);
QList<MediaNode> favoriteNodes(const Catalog& catalog, const QSet<QString>& favorites);
QList<MediaNode> centerFavoriteNodes(const Catalog& catalog, const QSet<QString>& favorites);

QList<MediaNode> variedNodes(const QList<MediaNode>& nodes, int limit);
CommandFeed makeFeed(const Catalog& catalog, const QList<MediaNode>& nodes);
CommandFeed enrichFeed(const Catalog& catalog, const CommandFeed& feed, const QList<MediaNode>& nodes);
CommandFeed rewritePreparedFeed(const Catalog& catalog, const CommandFeed& prepared, const QList<MediaNode>& nodes);

// Case-insensitive, numeric; names equal that way by case, then as equal.
int compareNames(const QString& a, const QString& b);

} // namespace naive
