#pragma once

#include "OrrinthCore/BrandModels.h"
#include "OrrinthCore/Navigation.h"

#include <QString>

namespace orrinth {

// Where the access flow goes for a sign-in method, and whether a resolution admits a private identifier.
class AccessFlowPolicy
{
public:
    AccessFlowPolicy() = default;

    AccessFlowRoute route(bool freeMode, LoginSourceMethod method) const;
    bool permits(const BrandResolution &resolution, const QString &expectedBrand, const QString &identifier) const;
};

// The platform that signs every genuine resolution.
inline QString makerPlatformSlug()
{
    return QStringLiteral("calvenor");
}

// Resolutions of these schema versions are understood.
inline bool isSupportedResolutionSchema(qint64 schemaVersion)
{
    return schemaVersion == 4 || schemaVersion == 5;
}

// The comparison form of a private brand identifier or a user name: trimmed, lower-cased.
inline QString normalizedIdentifier(const QString &text)
{
    return text.trimmed().toLower();
}

} // namespace orrinth
