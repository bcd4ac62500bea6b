#pragma once

// The JSON forms of the library's records. Reading throws DecodingError where a record's rules fail.

#include "OrrinthCore/BrandModels.h"
#include "OrrinthCore/CatalogItem.h"
#include "OrrinthCore/CatalogSection.h"
#include "OrrinthCore/ContentKind.h"
#include "OrrinthCore/CoreErrors.h"

#include <QByteArrayView>
#include <QJsonObject>
#include <QJsonValue>

namespace orrinth {

template <typename T>
T decodeJson(QByteArrayView json);

template <> ContentKind decodeJson<ContentKind>(QByteArrayView json);
template <> CatalogItem decodeJson<CatalogItem>(QByteArrayView json);
template <> CatalogCategory decodeJson<CatalogCategory>(QByteArrayView json);
template <> CatalogSection decodeJson<CatalogSection>(QByteArrayView json);
template <> HomeCatalog decodeJson<HomeCatalog>(QByteArrayView json);
template <> CatalogRow decodeJson<CatalogRow>(QByteArrayView json);
template <> BrandServer decodeJson<BrandServer>(QByteArrayView json);
template <> BrandConfiguration decodeJson<BrandConfiguration>(QByteArrayView json);
template <> ResolvedBrand decodeJson<ResolvedBrand>(QByteArrayView json);
template <> PlatformDescriptor decodeJson<PlatformDescriptor>(QByteArrayView json);
template <> BrandResolution decodeJson<BrandResolution>(QByteArrayView json);
template <> CatalogManifest decodeJson<CatalogManifest>(QByteArrayView json);

QJsonValue toJson(ContentKind kind);
QJsonObject toJson(const CatalogItem &item);
QJsonObject toJson(const CatalogCategory &category);
QJsonObject toJson(const CatalogSection &section);
QJsonObject toJson(const HomeCatalog &home);
QJsonObject toJson(const CatalogRow &row);
QJsonObject toJson(const BrandServer &server);

} // namespace orrinth
