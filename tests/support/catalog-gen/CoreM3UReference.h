#pragma once

#include "OrrinthCore/CatalogItem.h"

#include <QList>
#include <QStringView>

namespace sendra::testkit {

// The core library's playlist rules written plainly over QString, one line and one attribute at a time: the oracle
// the core parser is checked against and its baseline in the benchmark.
QList<orrinth::CatalogItem> parseM3UPlainly(QStringView text);

} // namespace sendra::testkit
