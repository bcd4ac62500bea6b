#include "UI/Browse.h"

#include "State/CommandDeck.h"
#include "State/HomeFeed.h"
#include "UI/NodeValues.h"

namespace sendra::ui {

namespace {

std::optional<SignalKind> kindFromText(const QString& text)
{
    return text.isEmpty() ? std::nullopt : signalKindFromStored(text);
}

std::optional<MediaGroup> groupWithId(const CommandDeck& deck, const QString& groupId)
{
    for (const MediaGroup& candidate : deck.catalog()->groups()) {
        if (candidate.id == groupId)
            return candidate;
    }
    return std::nullopt;
}

} // namespace

Browse::Browse(AppContext& context, QQmlEngine* engine) : DeckFacet(context, engine)
{}

void Browse::relaySignals()
{
    using D = CommandDeck;
    relay(&D::nodesByKindChanged, &Browse::catalogChanged);
    relay(&D::usesGenericPresentationChanged, &Browse::catalogChanged);
    relay(&D::presentedKindsChanged, &Browse::catalogChanged);
    relay(&D::feedChanged, &Browse::feedChanged);
    relay(&D::centerResumeMarkersChanged, &Browse::centerResumeMarkersChanged);
    relay(&D::chosenKindChanged, &Browse::chosenKindChanged);
    relay(&D::chosenGroupChanged, &Browse::chosenGroupChanged);
    relay(&D::canReturnFromLibraryChanged, &Browse::canReturnFromLibraryChanged);
    relay(&D::libraryNodesChanged, &Browse::libraryNodesChanged);
    relay(&D::searchTextChanged, &Browse::searchTextChanged);
    // The resume points carry whether each entry is a favourite.
    relay(&D::favoritesChanged, [this] {
        ++m_favoritesRevision;
        emit favoritesChanged();
        emit centerResumeMarkersChanged();
    });
}

void Browse::announce()
{
    emit catalogChanged();
    emit feedChanged();
    emit centerResumeMarkersChanged();
    emit favoritesChanged();
    emit chosenKindChanged();
    emit chosenGroupChanged();
    emit canReturnFromLibraryChanged();
    emit libraryNodesChanged();
    emit searchTextChanged();
}

// ---- The centre ----

bool Browse::usesGenericPresentation() const
{
    return read(&CommandDeck::usesGenericPresentation, false);
}

QStringList Browse::presentedKinds() const
{
    QStringList out;
    for (SignalKind kind : read(&CommandDeck::presentedKinds, QList<SignalKind>()))
        out.append(storedValue(kind));
    return out;
}

int Browse::totalNodeCount() const
{
    return read(&CommandDeck::totalNodeCount, 0);
}

QVariantMap Browse::kindCounts() const
{
    QVariantMap out;
    const NodesByKind byKind = read(&CommandDeck::nodesByKind, NodesByKind());
    for (SignalKind kind : allSignalKinds)
        out.insert(storedValue(kind), int(byKind.value(kind).size()));
    return out;
}

QVariantList Browse::lanes() const
{
    QVariantList out;
    const CommandDeck* current = deck();
    if (!current || !current->feed())
        return out;
    // Only the deck's own lane texts are interface texts; a category's or the platform's names are data and are
    // shown as they are, even when one equals an interface text ("Películas", "Todo").
    for (const CommandLane& lane : current->feed()->lanes) {
        out.append(QVariantMap{{QStringLiteral("id"), lane.id},
                               {QStringLiteral("title"), shownText(lane.title)},
                               {QStringLiteral("subtitle"), shownText(lane.subtitle)},
                               {QStringLiteral("titleIsText"), lane.titleIsText},
                               {QStringLiteral("subtitleIsText"), lane.subtitleIsText},
                               {QStringLiteral("count"), int(lane.nodes.size())}});
    }
    return out;
}

QVariantList Browse::centerResumeMarkers() const
{
    QVariantList out;
    const CommandDeck* current = deck();
    if (!current)
        return out;
    for (const ResumeMarker& marker : current->centerResumeMarkers()) {
        QVariantMap value = nodeValue(marker.node, current->favorites());
        value.insert(QStringLiteral("fraction"), marker.fraction);
        value.insert(QStringLiteral("markerId"), marker.id);
        out.append(value);
    }
    return out;
}

void Browse::refreshSpotlights()
{
    act(&CommandDeck::refreshSpotlights);
}

bool Browse::isFavorite(const QString& key) const
{
    return read([&key](const CommandDeck& d) { return d.favorites().contains(key); }, false);
}

template <class Action>
void Browse::withResumeMarker(int index, Action action)
{
    act([index, &action](CommandDeck& d) {
        const QList<ResumeMarker> markers = d.centerResumeMarkers();
        if (index >= 0 && index < markers.size())
            action(d, markers[index]);
    });
}

void Browse::resumeAt(int index)
{
    withResumeMarker(index, [](CommandDeck& d, const ResumeMarker& marker) { d.resume(marker); });
}

void Browse::toggleResumeFavorite(int index)
{
    withResumeMarker(index, [](CommandDeck& d, const ResumeMarker& marker) { d.toggleFavorite(marker.node); });
}

// ---- The library and discover ----

QString Browse::chosenKind() const
{
    const auto kind = read(&CommandDeck::chosenKind, std::optional<SignalKind>());
    return kind ? storedValue(*kind) : QString();
}

void Browse::setChosenKind(const QString& kind)
{
    act(&CommandDeck::setChosenKind, kindFromText(kind));
}

QVariant Browse::chosenGroup() const
{
    const auto group = read(&CommandDeck::chosenGroup, std::optional<MediaGroup>());
    return group ? QVariant(groupValue(*group)) : null();
}

bool Browse::canReturnFromLibrary() const
{
    return read(&CommandDeck::canReturnFromLibrary, false);
}
int Browse::libraryNodeCount() const
{
    return read(&CommandDeck::libraryNodeCount, 0);
}
QString Browse::searchText() const
{
    return read(&CommandDeck::searchText, QString());
}

void Browse::setSearchText(const QString& text)
{
    act([&text](CommandDeck& d) {
        if (d.searchText() != text)
            d.setSearchText(text);
    });
}

void Browse::openLibrary(const QString& kind, const QString& groupId)
{
    act([&](CommandDeck& d) {
        std::optional<MediaGroup> group;
        if (!groupId.isEmpty()) {
            group = groupWithId(d, groupId);
            if (!group)
                return;
        }
        d.openLibrary(kindFromText(kind), group);
    });
}

void Browse::returnFromLibrary()
{
    act(&CommandDeck::returnFromLibrary);
}

void Browse::chooseGroup(const QString& groupId)
{
    act([&groupId](CommandDeck& d) {
        if (groupId.isEmpty())
            d.setChosenGroup(std::nullopt);
        else if (const auto group = groupWithId(d, groupId))
            d.setChosenGroup(group);
    });
}

} // namespace sendra::ui
