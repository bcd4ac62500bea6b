#pragma once

// The documents of a prepared catalogue build: its manifest, the three sections and the home feed. Pure
// readers; every inconsistency fails with CommandFailure invalidResponse unless another error is named.

#include "Domain/CatalogTypes.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <simdjson.h>

#include <array>
#include <optional>

namespace sendra::platform {

// Names one build: two manifest reads describe the same build exactly when their identities are equal.
struct CatalogIdentity
{
    QString brand;
    int slot = 0;
    QUrl origin; // normalised
    qint64 version = 0;
    QString generation;
    bool protectedBuild = false;
    std::array<qint64, 3> counts{}; // by kind, in the order live, films, series

    qint64 count(SignalKind kind) const { return counts[std::size_t(kind)]; }

    friend bool operator==(const CatalogIdentity&, const CatalogIdentity&) = default;
};

// Checks the manifest against the request (brand, slot, origin) and reads the build it names.
CatalogIdentity readManifest(const simdjson::dom::object& manifest, const QString& brand, int slot,
                             const QUrl& origin, bool protectedBuild);

// The entries of one section, each of the section's kind; the item count must be the identity's count. `document`
// is the address the section came from: relative images are taken relative to it (see artworkAddress()).
QList<MediaNode> readSection(const simdjson::dom::object& section, const CatalogIdentity& identity, SignalKind kind,
                             const QUrl& document);

// The home feed; CommandError::emptyCatalog when no row has a usable entry.
CommandFeed readHome(const simdjson::dom::object& home, const CatalogIdentity& identity, const QUrl& document);

// One item as an entry (its kind as its "kind" says); nothing without an id or a name.
std::optional<MediaNode> readItem(const simdjson::dom::object& item, const QUrl& document);

} // namespace sendra::platform
