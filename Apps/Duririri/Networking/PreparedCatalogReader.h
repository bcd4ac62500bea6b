#pragma once

// The documents of a prepared catalogue build: its manifest, the three sections and the home feed. Pure
// readers; every inconsistency fails with CommandFailure invalidResponse unless another error is named.

#include "Domain/CatalogTypes.h"
#include "Domain/NodeTable.h"

#include <QByteArray>

#include <QList>
#include <QString>
#include <QUrl>

#include <simdjson.h>

#include <array>
#include <memory>
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

// One section read as it arrives, straight into the entry table: the "items" list slice by slice as its bytes come
// in, the rest of the section (version, mode) once it has ended. It gives exactly what readSection gives and fails
// whenever that fails (an item without an id or a name, a repeated id, a count above the identity's, fail as soon
// as they are read). Only the bytes not yet read are kept. Use it from one thread at a time.
class SectionReader
{
public:
    SectionReader(const CatalogIdentity& identity, SignalKind kind, const QUrl& document);
    ~SectionReader();
    SectionReader(const SectionReader&) = delete;
    SectionReader& operator=(const SectionReader&) = delete;

    // The next piece of the body; `declaredLength` (or -1) bounds how many rows may be reserved.
    void push(QByteArray chunk, qint64 declaredLength = -1);
    // The end of the body: the section's entries.
    NodeTable finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// A whole section body through SectionReader.
NodeTable readSectionTable(QByteArrayView body, const CatalogIdentity& identity, SignalKind kind, const QUrl& document);

// The home feed; CommandError::emptyCatalog when no row has a usable entry.
CommandFeed readHome(const simdjson::dom::object& home, const CatalogIdentity& identity, const QUrl& document);

// One item as an entry (its kind as its "kind" says); nothing without an id or a name.
std::optional<MediaNode> readItem(const simdjson::dom::object& item, const QUrl& document);

} // namespace sendra::platform
