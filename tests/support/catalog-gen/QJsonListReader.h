#pragma once

#include "Domain/CatalogTypes.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

namespace sendra::testkit {

// A plain QJsonDocument reader of a panel stream list, written straight from the element rules: the baseline of
// the benchmark and the oracle the fast reader is checked against. Throws std::runtime_error on a body that is not
// a JSON list of objects. `panel` is the address the list came from.
QList<MediaNode> readStreamListWithQJson(const QByteArray& body, SignalKind kind,
                                         const QHash<QString, QString>& categories, const QUrl& panel);

} // namespace sendra::testkit
