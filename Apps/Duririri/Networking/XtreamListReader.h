#pragma once

#include "Domain/CatalogTypes.h"
#include "Domain/NodeTable.h"
#include "Networking/ObjectListStream.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <simdjson.h>

#include <functional>
#include <memory>

namespace sendra::xtream {

// Category id -> display name of one kind.
using CategoryMap = QHash<QString, QString>;

// The category list of one kind: "category_id" (text or number) -> non-empty "category_name"; a later element
// with the same id wins.
CategoryMap readCategoryMap(QByteArrayView body);

// Reads one kind's stream list element by element, as the list is walked (whole or as it arrives), into a table
// of entries. Category names are applied when the list ends, so the category list may come after the entries.
class StreamListReader
{
public:
    // `bodyBytes`, when known, bounds how many rows an estimate may reserve.
    StreamListReader(SignalKind kind, QUrl panel, qsizetype bodyBytes = 0);
    ~StreamListReader();
    StreamListReader(const StreamListReader&) = delete;
    StreamListReader& operator=(const StreamListReader&) = delete;

    // The visitor to walk the list with; use it from one thread at a time.
    const ObjectListVisitor& visitor() const;
    // The entries read so far, their groups named from `categories`; the reader is empty afterwards.
    NodeTable finish(const CategoryMap& categories);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// One kind's stream list as catalogue entries, in the panel's order; elements without an id or a non-empty
// name are skipped. Artwork is kept as artworkAddress() keeps it, relative addresses taken relative to `panel`
// (the address the list came from).
NodeTable readStreamTable(QByteArrayView body, SignalKind kind, const CategoryMap& categories, const QUrl& panel);
// The same as MediaNodes.
QList<MediaNode> readStreamList(QByteArrayView body, SignalKind kind, const CategoryMap& categories,
                                const QUrl& panel);

} // namespace sendra::xtream
