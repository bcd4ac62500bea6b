#pragma once

#include "Domain/BrandTypes.h"

#include <QJsonValue>
#include <QString>

namespace sendra {

// The two products one executable ships as.
enum class DesktopProductBrand { orrinth, brimvale };

namespace ProductBrand {

// The running product, from Info.json's "AppBrandIdentifier"; decided on first use, fixed for the process.
DesktopProductBrand current();
// Exactly the text "brimvale" is brimvale; anything else (missing, not a text, other spelling) is orrinth.
DesktopProductBrand fromInfoValue(const QJsonValue& value);

QString identifierValue(DesktopProductBrand brand); // "orrinth", "brimvale"
// Prefix of every stored key and keychain item of the product.
QString storageNamespace(DesktopProductBrand brand);
// The brand shown while no other brand is resolved.
BrandPresentation presentation(DesktopProductBrand brand);

} // namespace ProductBrand
} // namespace sendra
