#pragma once

#include "Domain/CatalogTypes.h"
#include "Domain/NodeTable.h"

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

// Calls `visit` with every element of a reply that must be a JSON list of objects. Large lists are parsed in
// slices of a few hundred kilobytes, so memory stays near the size of the body and the parser's working set in
// cache; when slicing cannot be trusted the whole body is parsed at once, after `restart` has been called (the
// caller then drops what it collected). `expect` hears an estimate of the element count before the first
// visit of each road. Throws netkit::JsonError when the body is not JSON and CommandFailure(invalidResponse) when
// it is not a list of objects.
struct ObjectListVisitor
{
    std::function<void(const simdjson::dom::object&)> visit;
    std::function<void()> restart;
    std::function<void(qsizetype)> expect = [](qsizetype) {};
};
void walkObjectList(QByteArrayView body, const ObjectListVisitor& visitor);

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
