#pragma once

#include "OrrinthCore/BrandModels.h"
#include "OrrinthCore/CatalogItem.h"
#include "OrrinthCore/Navigation.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>

namespace orrinth {

// Which servers a brand permits, which destinations a catalogue offers, what stays visible when some
// categories are blocked. Pure functions, no state.
class CatalogPolicy
{
public:
    CatalogPolicy() = default;

    bool permits(const QUrl &origin, const BrandConfiguration &configuration) const;
    QList<MainDestination> destinations(const QList<CatalogItem> &items) const;
    // Matches category names (not ids), ignoring case and surrounding white space.
    QList<CatalogItem> filtered(const QList<CatalogItem> &items, const QSet<QString> &blockedCategories) const;
};

} // namespace orrinth
