#pragma once

#include "Domain/CatalogTypes.h"

#include <QList>

namespace sendra {

// How a loaded catalogue is shown: as generic content when every entry is classified "generic", otherwise
// split by the kinds its other entries have.
struct CatalogPresentation {
    explicit CatalogPresentation(const QList<MediaNode>& nodes);

    bool genericOnly = false;  // an empty catalogue is not generic
    QList<SignalKind> kinds;   // in the order live, films, series
};

} // namespace sendra
