#include "OrrinthCore/JsonCodec.h"
#include "OrrinthCore/JsonDecoding.h"

#include <QJsonArray>

namespace orrinth {

namespace json {

namespace {

QList<BrandServer> serversFrom(Element element, const char *record)
{
    return list(element, record, "allowedOrigins", brandServerFrom);
}

SectionCounts countsFrom(const Fields &fields, std::string_view key)
{
    Object object;
    if (fields.required(key).get_object().get(object) != simdjson::SUCCESS)
        fail(DecodingError::Kind::wrongType, fields.record(), key);
    SectionCounts counts;
    for (const auto field : object) {
        const auto count = integerValue(field.value);
        if (!count)
            fail(DecodingError::Kind::wrongType, fields.record(), key);
        counts.insert(QString::fromUtf8(field.key.data(), qsizetype(field.key.size())), *count);
    }
    return counts;
}

} // namespace

BrandServer brandServerFrom(Element element)
{
    const Fields fields(element, "BrandServer");
    QSet<QString> blocked;
    if (const auto categories = fields.value("parentalBlockedCategories")) {
        for (const QString &name : list(*categories, "BrandServer", "parentalBlockedCategories", [](Element e) {
                 const auto text = textValue(e);
                 if (!text)
                     fail(DecodingError::Kind::wrongType, "BrandServer", "parentalBlockedCategories");
                 return *text;
             }))
            blocked.insert(name);
    }
    return BrandServer(fields.integer("slot"), fields.address("origin"),
                       fields.optionalBoolean("active").value_or(true), fields.optionalBoolean("primary"),
                       std::move(blocked));
}

BrandConfiguration brandConfigurationFrom(Element element)
{
    const Fields fields(element, "BrandConfiguration");
    const Fields brand(fields.required("brand"), "BrandConfiguration.brand");
    // "allowAnyServer" is the current name of the flag; "freeMode" is only read when it is absent.
    auto freeMode = fields.optionalBoolean("allowAnyServer");
    if (!freeMode)
        freeMode = fields.optionalBoolean("freeMode");
    const auto servers = fields.value("allowedOrigins");
    return BrandConfiguration(fields.optionalInteger("schemaVersion").value_or(1), brand.text("id"),
                              fields.optionalBoolean("enabled").value_or(true),
                              fields.optionalBoolean("emergencyLock").value_or(false), freeMode.value_or(false),
                              fields.optionalInteger("configVersion").value_or(1),
                              servers ? serversFrom(*servers, "BrandConfiguration") : QList<BrandServer>());
}

ResolvedBrand resolvedBrandFrom(Element element)
{
    const Fields fields(element, "ResolvedBrand");
    return ResolvedBrand(fields.text("slug"), fields.text("identifier"), fields.text("name"),
                         fields.text("accessMode"));
}

PlatformDescriptor platformDescriptorFrom(Element element)
{
    const Fields fields(element, "PlatformDescriptor");
    return PlatformDescriptor(fields.text("slug"), fields.text("accessMode"), fields.integer("version"));
}

BrandResolution brandResolutionFrom(Element element)
{
    const Fields fields(element, "BrandResolution");
    return BrandResolution(fields.integer("schemaVersion"), resolvedBrandFrom(fields.required("brand")),
                           fields.boolean("allowAnyServer"), fields.boolean("useBrandPresentation"),
                           fields.optionalText("catalogBrand"),
                           serversFrom(fields.required("allowedOrigins"), "BrandResolution"),
                           platformDescriptorFrom(fields.required("platform")));
}

CatalogManifest catalogManifestFrom(Element element)
{
    const Fields fields(element, "CatalogManifest");
    return CatalogManifest(fields.text("client"), fields.integer("serverSlot"), fields.address("origin"),
                           fields.integer("version"), fields.text("generatedAt"), countsFrom(fields, "counts"),
                           countsFrom(fields, "protectedCounts"));
}

} // namespace json

ORRINTH_DECODE_JSON(BrandServer, brandServerFrom)
ORRINTH_DECODE_JSON(BrandConfiguration, brandConfigurationFrom)
ORRINTH_DECODE_JSON(ResolvedBrand, resolvedBrandFrom)
ORRINTH_DECODE_JSON(PlatformDescriptor, platformDescriptorFrom)
ORRINTH_DECODE_JSON(BrandResolution, brandResolutionFrom)
ORRINTH_DECODE_JSON(CatalogManifest, catalogManifestFrom)

QJsonObject toJson(const BrandServer &server)
{
    QStringList categories(server.parentalBlockedCategories().cbegin(), server.parentalBlockedCategories().cend());
    categories.sort(); // a set has no order; a sorted list keeps the written form reproducible
    return {
        {QStringLiteral("slot"), server.slot()},
        {QStringLiteral("origin"), QString::fromUtf8(server.origin().toEncoded())},
        {QStringLiteral("active"), server.active()},
        {QStringLiteral("primary"), server.primary()},
        {QStringLiteral("parentalBlockedCategories"), QJsonArray::fromStringList(categories)},
    };
}

} // namespace orrinth
