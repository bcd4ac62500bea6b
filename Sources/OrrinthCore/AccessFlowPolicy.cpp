#include "OrrinthCore/AccessFlowPolicy.h"

#include <algorithm>

namespace orrinth {

AccessFlowRoute AccessFlowPolicy::route(bool freeMode, LoginSourceMethod method) const
{
    if (freeMode)
        return AccessFlowRoute::freeSource;
    return method == LoginSourceMethod::xtream ? AccessFlowRoute::privateIdentifier
                                               : AccessFlowRoute::privatePlaylistUnavailable;
}

bool AccessFlowPolicy::permits(const BrandResolution &resolution, const QString &expectedBrand,
                               const QString &identifier) const
{
    return isSupportedResolutionSchema(resolution.schemaVersion())
        && resolution.platform().slug() == makerPlatformSlug() && resolution.brand().slug() == expectedBrand
        && resolution.brand().identifier().toLower() == normalizedIdentifier(identifier)
        && resolution.brand().accessMode() == QLatin1String("private") && resolution.useBrandPresentation()
        && !resolution.allowAnyServer()
        && std::ranges::any_of(resolution.allowedOrigins(), [](const BrandServer &s) { return s.active(); });
}

} // namespace orrinth
