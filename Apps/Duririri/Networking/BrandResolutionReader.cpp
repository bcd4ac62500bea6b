#include "Networking/BrandResolutionReader.h"

#include "Domain/OriginNormalization.h"
#include "Domain/PlatformLinks.h"
#include "Networking/ArtworkAddress.h"
#include "Networking/PlatformRequests.h"

#include <algorithm>
#include <limits>

namespace sendra::platform {

namespace {

using namespace netkit::json;

// Every check of this reader fails with one error unless another is named.
void require(bool condition)
{
    platform::require(condition, CommandError::accessConfigurationUnavailable);
}

std::optional<int> smallInteger(const JsonValue& value)
{
    const auto number = integer(value);
    if (!number || *number < std::numeric_limits<int>::min() || *number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*number);
}

// An http or https address with a host and without user information: a server the platform may name.
std::optional<QUrl> serverAddress(const JsonValue& value)
{
    const auto url = address(value);
    if (!url)
        return std::nullopt;
    const QString scheme = url->scheme().toLower();
    if ((scheme != u"https" && scheme != u"http") || url->host().isEmpty() || !url->userName().isEmpty()
        || !url->password().isEmpty())
        return std::nullopt;
    return url;
}

QSet<QString> blockedGroups(const JsonValue& value)
{
    QSet<QString> groups;
    const auto list = array(value);
    if (!list)
        return groups;
    for (const simdjson::dom::element item : *list) {
        const auto name = text(item);
        if (!name)
            return {};
        groups.insert(*name);
    }
    return groups;
}

std::optional<PanelOrigin> panelOrigin(const simdjson::dom::object& entry)
{
    const auto url = serverAddress(entry["origin"]);
    if (!url)
        return std::nullopt;
    PanelOrigin origin;
    origin.url = normalizedOrigin(*url);
    origin.slot = smallInteger(entry["slot"]).value_or(0);
    origin.enabled = boolean(entry["active"]).value_or(true);
    origin.primary = boolean(entry["primary"]).value_or(origin.slot == 1);
    origin.blockedGroups = blockedGroups(entry["parentalBlockedCategories"]);
    return origin;
}

std::optional<QUrl> picture(const JsonValue& value, const QUrl& document)
{
    const auto url = address(value);
    return url ? artworkAddress(*url, document) : std::nullopt;
}

BrandPresentation presentation(const simdjson::dom::object& brand, bool privateAccess, const QUrl& document)
{
    const BrandPresentation neutral = BrandPresentation::neutral();
    BrandPresentation result;
    result.slug = *text(brand["slug"]);
    result.identifier = text(brand["identifier"]).value_or(QString());
    result.name = text(brand["name"]).value_or(neutral.name);
    result.primaryColor = text(brand["primaryColor"]).value_or(neutral.primaryColor);
    result.secondaryColor = text(brand["secondaryColor"]).value_or(neutral.secondaryColor);
    result.logoURL = picture(brand["logoURL"], document);
    result.isotypeURL = picture(brand["isotypeURL"], document);
    result.privateAccess = privateAccess;
    result.privacyURL = PlatformLinks::safeWebURL(text(brand["privacyURL"])).value_or(PlatformLinks::privacy());
    result.supportURL = PlatformLinks::safeWebURL(text(brand["supportURL"])).value_or(PlatformLinks::support());
    return result;
}

// The provider form: the neutral brand with exactly one server, authenticated by the provider at that server.
void checkProviderForm(const simdjson::dom::object& answer, const simdjson::dom::object& brand,
                       const simdjson::dom::array& origins, bool privateMode, bool allowAnyServer,
                       bool useBrandPresentation)
{
    const QString neutralSlug = BrandPresentation::neutral().slug;
    require(privateMode && !allowAnyServer);
    require(text(brand["slug"]) == neutralSlug);
    require(!useBrandPresentation);
    require(text(brand["accessMode"]) == QStringLiteral("provider"));
    const auto authentication = object(answer["authentication"]);
    require(authentication.has_value());
    require(text((*authentication)["method"]) == QStringLiteral("provider"));
    require(text((*authentication)["scope"]) == QStringLiteral("main-allowed-origin"));
    const auto root = serverAddress((*authentication)["origin"]);
    require(root.has_value());
    require(origins.size() == 1);
    const simdjson::dom::object entry = origins.at(0).value_unsafe().get_object().value_unsafe();
    require(boolean(entry["active"]) == true);
    const auto slot = integer(entry["slot"]);
    require(slot && *slot >= 1 && *slot <= 5);
    require(integer(answer["matchedSlot"]) == slot);
    require(text(answer["catalogBrand"]) == neutralSlug);
    const auto entryOrigin = address(entry["origin"]);
    require(entryOrigin && sameOrigin(*entryOrigin, *root));
}

} // namespace

BrandResolution readBrandResolution(const simdjson::dom::object& answer, const QUrl& document)
{
    const auto schema = integer(answer["schemaVersion"]);
    require(schema == 4 || schema == 5);

    const auto platform = object(answer["platform"]);
    require(platform && text((*platform)["slug"]) == QStringLiteral("calvenor"));
    const auto mode = text((*platform)["accessMode"]);
    require(mode == QStringLiteral("free") || mode == QStringLiteral("private"));
    require(integer((*platform)["version"]).has_value());
    const bool privateMode = mode == QStringLiteral("private");

    const auto allowAnyServer = boolean(answer["allowAnyServer"]);
    require(allowAnyServer == !privateMode);

    const auto brand = object(answer["brand"]);
    require(brand.has_value());
    const auto slug = text((*brand)["slug"]);
    require(slug && !slug->isEmpty());

    const auto origins = array(answer["allowedOrigins"]);
    require(origins.has_value());
    for (const simdjson::dom::element entry : *origins)
        require(entry.is_object());

    const auto useBrandPresentation = boolean(answer["useBrandPresentation"]);
    require(useBrandPresentation.has_value());

    if (schema == 4) {
        require(text((*brand)["accessMode"]) == mode);
        if (privateMode) {
            const auto identifier = text((*brand)["identifier"]);
            if (!*useBrandPresentation || !identifier || identifier->isEmpty())
                fail(CommandError::privateIdentifierRequired);
        }
    } else {
        checkProviderForm(answer, *brand, *origins, privateMode, *allowAnyServer, *useBrandPresentation);
    }

    BrandResolution resolution;
    resolution.brand = presentation(*brand, privateMode && schema == 4, document);
    resolution.rules.acceptsAnyOrigin = *allowAnyServer;
    for (const simdjson::dom::element entry : *origins) {
        if (auto origin = panelOrigin(entry.get_object().value_unsafe()))
            resolution.rules.origins.append(std::move(*origin));
    }
    if (privateMode
        && std::none_of(resolution.rules.origins.begin(), resolution.rules.origins.end(),
                        [](const PanelOrigin& origin) { return origin.enabled; }))
        fail(CommandError::noAvailableServer);
    resolution.matchedSlot = smallInteger(answer["matchedSlot"]);
    resolution.useBrandPresentation = *useBrandPresentation;
    resolution.catalogBrand = text(answer["catalogBrand"]);
    return resolution;
}

} // namespace sendra::platform
