#include "OrrinthCore/CatalogPolicy.h"

#include "OrrinthCore/Addresses.h"

#include <algorithm>

namespace orrinth {

bool CatalogPolicy::permits(const QUrl &origin, const BrandConfiguration &configuration) const
{
    if (configuration.freeMode())
        return true;
    return std::ranges::any_of(configuration.allowedOrigins(), [&](const BrandServer &server) {
        return server.active() && sameOrigin(server.origin(), origin);
    });
}

QList<MainDestination> CatalogPolicy::destinations(const QList<CatalogItem> &items) const
{
    QList<MainDestination> result{MainDestination::home};
    const auto offers = [&](ContentKind kind) {
        return std::ranges::any_of(items, [kind](const CatalogItem &item) { return item.kind() == kind; });
    };
    if (offers(ContentKind::live))
        result.append(MainDestination::live);
    if (offers(ContentKind::movie))
        result.append(MainDestination::movies);
    if (offers(ContentKind::series))
        result.append(MainDestination::series);
    result.append({MainDestination::favorites, MainDestination::search, MainDestination::settings});
    return result;
}

QList<CatalogItem> CatalogPolicy::filtered(const QList<CatalogItem> &items,
                                           const QSet<QString> &blockedCategories) const
{
    if (blockedCategories.isEmpty())
        return items;
    QSet<QString> blocked;
    for (const QString &name : blockedCategories)
        blocked.insert(name.trimmed().toLower());
    QList<CatalogItem> kept;
    for (const CatalogItem &item : items) {
        if (!blocked.contains(item.category().trimmed().toLower()))
            kept.append(item);
    }
    return kept;
}

} // namespace orrinth
