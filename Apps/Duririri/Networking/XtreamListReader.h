#pragma once

#include "Domain/CatalogTypes.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <simdjson.h>

#include <functional>

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

// One kind's stream list as catalogue entries, in the panel's order; elements without an id or a non-empty
// name are skipped. Artwork is kept as artworkAddress() keeps it, relative addresses taken relative to `panel`
// (the address the list came from).
QList<MediaNode> readStreamList(QByteArrayView body, SignalKind kind, const CategoryMap& categories,
                                const QUrl& panel);

} // namespace sendra::xtream
