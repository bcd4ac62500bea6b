#include "Domain/ProductBrand.h"

#include "Domain/AppBundle.h"
#include "Domain/PlatformLinks.h"

namespace sendra::ProductBrand {

DesktopProductBrand current()
{
    static const DesktopProductBrand brand = fromInfoValue(AppBundle::infoValue(QStringLiteral("AppBrandIdentifier")));
    return brand;
}

DesktopProductBrand fromInfoValue(const QJsonValue& value)
{
    return value.isString() && value.toString() == u"brimvale" ? DesktopProductBrand::brimvale
                                                               : DesktopProductBrand::orrinth;
}

QString identifierValue(DesktopProductBrand brand)
{
    return brand == DesktopProductBrand::brimvale ? QStringLiteral("brimvale") : QStringLiteral("orrinth");
}

QString storageNamespace(DesktopProductBrand brand)
{
    return brand == DesktopProductBrand::brimvale ? QStringLiteral("app.calvenor.brimvalesendra.command")
                                                  : QStringLiteral("app.calvenor.orrinth.command");
}

BrandPresentation presentation(DesktopProductBrand brand)
{
    const bool brimvale = brand == DesktopProductBrand::brimvale;
    return BrandPresentation{
        .slug = brimvale ? QStringLiteral("brimvale-sendra") : QStringLiteral("the-orrinth-sendra"),
        .identifier = QString(),
        .name = brimvale ? QStringLiteral("Brimvale Sendra") : QStringLiteral("The Orrinth Sendra"),
        .primaryColor = brimvale ? QStringLiteral("#8f5bff") : QStringLiteral("#ff4108"),
        .secondaryColor = brimvale ? QStringLiteral("#6e45d6") : QStringLiteral("#ff9405"),
        .logoURL = std::nullopt,
        .isotypeURL = std::nullopt,
        .privateAccess = true,
        .privacyURL = PlatformLinks::privacy(),
        .supportURL = PlatformLinks::support(),
    };
}

} // namespace sendra::ProductBrand
