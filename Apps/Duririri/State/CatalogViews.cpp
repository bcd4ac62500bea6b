#include "State/CatalogViews.h"

#include "Domain/L10n.h"


namespace sendra {

namespace {

std::span<const MediaGroup> chosenOrAll(const QList<MediaGroup>& all, std::span<const MediaGroup> ofKind,
                                        bool kindChosen)
{
    if (kindChosen && !ofKind.empty())
        return ofKind;
    return std::span<const MediaGroup>(all.constData(), size_t(all.size()));
}

NodeView favorites(const std::shared_ptr<const CatalogSnapshot>& snapshot, const QSet<QString>& keys,
                   bool centerOnly)
{
    auto positions = std::make_shared<std::vector<uint32_t>>();
    const auto ids = idsByKind(keys);
    // Entries are screened by their key hash; only a matching hash reads the entry's id.
    QSet<uint32_t> hashes;
    for (SignalKind kind : allSignalKinds) {
        for (const QString& id : ids[size_t(kind)])
            hashes.insert(CatalogEntries::keyHash(kind, id));
    }
    if (hashes.isEmpty())
        return NodeView(snapshot, std::move(positions));
    const CatalogEntries& entries = snapshot->entries();
    for (SignalKind kind : allSignalKinds) {
        const QSet<QString>& wanted = ids[size_t(kind)];
        if (wanted.isEmpty())
            continue;
        for (uint32_t p : snapshot->positionsOfKind(kind)) {
            if (hashes.contains(entries.keyHash(p)) && wanted.contains(NodeTable::text(entries.id(p))) &&
                (!centerOnly || snapshot->isRecommended(p)))
                positions->push_back(p);
        }
    }
    return NodeView(snapshot, std::move(positions));
}

} // namespace

std::array<QSet<QString>, 3> idsByKind(const QSet<QString>& nodeKeys)
{
    std::array<QSet<QString>, 3> ids;
    for (const QString& key : nodeKeys) {
        const qsizetype colon = key.indexOf(u':');
        if (colon < 0)
            continue;
        if (const auto kind = signalKindFromStored(key.left(colon)))
            ids[size_t(*kind)].insert(key.mid(colon + 1));
    }
    return ids;
}

QString presentationKindTitle(SignalKind kind, bool genericPresentation)
{
    if (genericPresentation)
        return L10n::text("Contenido");
    return L10n::text(QString::fromUtf8(titleText(kind)));
}

std::span<const MediaGroup> groupsFor(const CatalogSnapshot& snapshot, std::optional<SignalKind> chosenKind)
{
    return chosenOrAll(snapshot.groups(), chosenKind ? snapshot.groupsOfKind(*chosenKind) : std::span<const MediaGroup>(),
                       chosenKind.has_value());
}

std::span<const MediaGroup> browsableGroupsFor(const CatalogSnapshot& snapshot, std::optional<SignalKind> chosenKind)
{
    return chosenOrAll(snapshot.browsableGroups(),
                       chosenKind ? snapshot.browsableGroupsOfKind(*chosenKind) : std::span<const MediaGroup>(),
                       chosenKind.has_value());
}

NodeView libraryNodes(const std::shared_ptr<const CatalogSnapshot>& snapshot, std::optional<SignalKind> chosenKind,
                      const std::optional<MediaGroup>& chosenGroup)
{
    if (chosenGroup) {
        const qsizetype group = snapshot->entries().groupIndex(chosenGroup->id);
        return NodeView(snapshot, group < 0 ? std::span<const uint32_t>() : snapshot->positionsOfGroup(uint32_t(group)));
    }
    if (chosenKind)
        return NodeView(snapshot, snapshot->positionsOfKind(*chosenKind));
    return NodeView(snapshot, snapshot->visiblePositions());
}

NodeView favoriteNodes(const std::shared_ptr<const CatalogSnapshot>& snapshot, const QSet<QString>& keys)
{
    return favorites(snapshot, keys, false);
}

NodeView centerFavoriteNodes(const std::shared_ptr<const CatalogSnapshot>& snapshot, const QSet<QString>& keys)
{
    return favorites(snapshot, keys, true);
}

QList<ResumeMarker> centerResumeMarkers(const CatalogSnapshot& snapshot, const QList<ResumeMarker>& markers)
{
    QList<ResumeMarker> kept;
    for (const ResumeMarker& marker : markers) {
        if (snapshot.recommends(marker.node))
            kept.append(marker);
    }
    return kept;
}

} // namespace sendra
