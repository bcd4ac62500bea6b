#pragma once

#include "State/CatalogSnapshot.h"
#include "State/NodeView.h"

#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <span>

namespace sendra {

// The read-only views the screens ask for, computed from a snapshot and the deck's published choices.

// The ids named by node keys ("<kind>:<id>"), by kind, so that entries are tested without building their keys;
// a key whose kind part is no kind names nothing.
std::array<QSet<QString>, 3> idsByKind(const QSet<QString>& nodeKeys);

// "Contenido" under the generic presentation, else the kind's title; looked up in the interface language.
QString presentationKindTitle(SignalKind kind, bool genericPresentation);

// The chosen kind's groups when it has any, else every group.
std::span<const MediaGroup> groupsFor(const CatalogSnapshot& snapshot, std::optional<SignalKind> chosenKind);
std::span<const MediaGroup> browsableGroupsFor(const CatalogSnapshot& snapshot,
                                               std::optional<SignalKind> chosenKind);

// The chosen group's entries (none when it is gone), else the chosen kind's, else every kind's, kind after kind.
NodeView libraryNodes(const std::shared_ptr<const CatalogSnapshot>& snapshot, std::optional<SignalKind> chosenKind,
                      const std::optional<MediaGroup>& chosenGroup);

// The visible entries whose node key is a favourite, kind after kind, in catalogue order.
NodeView favoriteNodes(const std::shared_ptr<const CatalogSnapshot>& snapshot, const QSet<QString>& favorites);
// The same, only what the home content policy keeps.
NodeView centerFavoriteNodes(const std::shared_ptr<const CatalogSnapshot>& snapshot, const QSet<QString>& favorites);
// The markers whose entry the home content policy keeps, order kept.
QList<ResumeMarker> centerResumeMarkers(const CatalogSnapshot& snapshot, const QList<ResumeMarker>& markers);

} // namespace sendra
