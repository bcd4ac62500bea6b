#include "Domain/BrandTypes.h"

#include "Domain/OriginNormalization.h"
#include "Domain/PlatformLinks.h"

namespace sendra {

BrandPresentation BrandPresentation::neutral()
{
    return BrandPresentation{
        .slug = QStringLiteral("calvenor"),
        .identifier = QString(),
        .name = QStringLiteral("Calvenor"),
        .primaryColor = QStringLiteral("#f5f5f7"),
        .secondaryColor = QStringLiteral("#686872"),
        .logoURL = std::nullopt,
        .isotypeURL = std::nullopt,
        .privateAccess = false,
        .privacyURL = PlatformLinks::privacy(),
        .supportURL = PlatformLinks::support(),
    };
}

std::optional<PanelOrigin> PanelRules::matchingOrigin(const QUrl& origin) const
{
    const QUrl wanted = normalizedOrigin(origin);
    for (const PanelOrigin& candidate : origins) {
        if (candidate.enabled && normalizedOrigin(candidate.url) == wanted)
            return candidate;
    }
    return std::nullopt;
}

bool BrandResolution::permitsProviderAuthentication(const QUrl& origin, bool playlist) const
{
    if (rules.acceptsAnyOrigin)
        return true;
    // Everything below concerns the platform's own unbranded servers: a playlist, a private brand or a
    // brand with a presentation of its own never authenticates on its own.
    if (playlist || brand.privateAccess || brand.slug != BrandPresentation::neutral().slug
        || useBrandPresentation || !matchedSlot)
        return false;
    const QUrl wanted = normalizedOrigin(origin);
    for (const PanelOrigin& candidate : rules.origins) {
        if (candidate.enabled && candidate.slot == *matchedSlot && normalizedOrigin(candidate.url) == wanted)
            return true;
    }
    return false;
}

} // namespace sendra
