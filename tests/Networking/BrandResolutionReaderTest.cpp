#include "Networking/BrandResolutionReader.h"
#include "Networking/PlatformRequests.h"
#include "Domain/PlatformLinks.h"

#include "fakes/FakePlatform.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <functional>

using namespace sendra;
using sendra::fakes::FakePlatform;

namespace {

using Edit = std::function<void(QJsonObject&)>;

// The outcome of reading `answer` after `edit`: the resolution, or the CommandError it failed with.
struct Read
{
    std::optional<BrandResolution> resolution;
    std::optional<CommandError> error;
};

Read read(QJsonObject answer, const Edit& edit = {})
{
    if (edit)
        edit(answer);
    const auto document = platform::parseObject(QJsonDocument(answer).toJson());
    try {
        return {platform::readBrandResolution(document.object, QUrl("https://access.example/api/platform/acme?k=1")),
                std::nullopt};
    } catch (const CommandFailure& failure) {
        return {std::nullopt, failure.error()};
    }
}

void setIn(QJsonObject& answer, const QString& part, const QString& key, const QJsonValue& value)
{
    QJsonObject inner = answer[part].toObject();
    inner[key] = value;
    answer[part] = inner;
}

void setOrigin(QJsonObject& answer, const QString& key, const QJsonValue& value)
{
    QJsonArray origins = answer["allowedOrigins"].toArray();
    QJsonObject first = origins[0].toObject();
    first[key] = value;
    origins[0] = first;
    answer["allowedOrigins"] = origins;
}

const QString panel = QStringLiteral("https://panel.example:8443");

} // namespace

TEST(BrandResolutionReader, BrandFormReadsPresentationAndServersWithTheirDefaults)
{
    QJsonObject answer = FakePlatform::privateAnswer("acme", "acme-tv",
                                                     {{panel + "/path?q=1", 2, true, std::nullopt, {"Adultos", "Adultos"}},
                                                      {"http://backup.example", 1},
                                                      {"ftp://nope.example", 3},
                                                      {"https://user:pw@hidden.example", 4}});
    setIn(answer, "brand", "logoURL", 17);
    setIn(answer, "brand", "isotypeURL", "https://cdn.example/iso.png");
    setIn(answer, "brand", "privacyURL", "http://insecure.example/privacy");
    setIn(answer, "brand", "supportURL", "https://help.example");
    answer["schemaVersion"] = "4";
    const Read result = read(answer);
    ASSERT_TRUE(result.resolution) << (result.error ? caseName(*result.error) : "");
    const BrandResolution& r = *result.resolution;
    EXPECT_EQ(r.brand.slug, QStringLiteral("acme"));
    EXPECT_EQ(r.brand.identifier, QStringLiteral("acme-tv"));
    EXPECT_TRUE(r.brand.privateAccess);
    EXPECT_EQ(r.brand.logoURL, std::nullopt);
    EXPECT_EQ(r.brand.isotypeURL, QUrl("https://cdn.example/iso.png"));
    // The platform's own pictures may be given as its paths; only web pictures are kept.
    const Read relative = read(answer, [](QJsonObject& a) {
        setIn(a, "brand", "logoURL", "/brands/acme.png");
        setIn(a, "brand", "isotypeURL", "javascript:void 0");
    });
    ASSERT_TRUE(relative.resolution);
    EXPECT_EQ(relative.resolution->brand.logoURL, QUrl("https://access.example/brands/acme.png"));
    EXPECT_EQ(relative.resolution->brand.isotypeURL, std::nullopt);
    EXPECT_EQ(r.brand.privacyURL, PlatformLinks::privacy());
    EXPECT_EQ(r.brand.supportURL, QUrl("https://help.example"));
    EXPECT_FALSE(r.rules.acceptsAnyOrigin);
    ASSERT_EQ(r.rules.origins.size(), 2) << "bad schemes and user information drop the entry";
    EXPECT_EQ(r.rules.origins[0].url, QUrl(panel));
    EXPECT_EQ(r.rules.origins[0].slot, 2);
    EXPECT_FALSE(r.rules.origins[0].primary);
    EXPECT_EQ(r.rules.origins[0].blockedGroups, QSet<QString>{"Adultos"});
    EXPECT_TRUE(r.rules.origins[1].primary) << "slot 1 is primary unless told otherwise";
    EXPECT_EQ(r.matchedSlot, std::nullopt);

    QJsonObject free = FakePlatform::freeAnswer();
    const Read freeRead = read(free, [](QJsonObject& a) { a["allowedOrigins"] = QJsonArray{QJsonObject{{"origin", panel}}}; });
    ASSERT_TRUE(freeRead.resolution);
    EXPECT_TRUE(freeRead.resolution->rules.acceptsAnyOrigin);
    EXPECT_FALSE(freeRead.resolution->brand.privateAccess);
    EXPECT_EQ(freeRead.resolution->brand.name, BrandPresentation::neutral().name);
    EXPECT_EQ(freeRead.resolution->rules.origins[0].slot, 0);
    EXPECT_FALSE(freeRead.resolution->rules.origins[0].primary);
    EXPECT_TRUE(freeRead.resolution->rules.origins[0].enabled);
}

TEST(BrandResolutionReader, BrokenAnswersFailWithTheirOwnError)
{
    const QJsonObject privateBrand = FakePlatform::privateAnswer("acme", "acme-tv", {{panel, 1}});
    const QJsonObject free = FakePlatform::freeAnswer();
    const auto unavailable = CommandError::accessConfigurationUnavailable;
    const std::vector<std::tuple<const char*, QJsonObject, Edit, CommandError>> cases{
        {"schema 3", free, [](QJsonObject& a) { a["schemaVersion"] = 3; }, unavailable},
        {"schema 6", free, [](QJsonObject& a) { a["schemaVersion"] = 6; }, unavailable},
        {"another platform", free, [](QJsonObject& a) { setIn(a, "platform", "slug", "other"); }, unavailable},
        {"no platform version", free, [](QJsonObject& a) { setIn(a, "platform", "version", "v3"); }, unavailable},
        {"free but listed only", free, [](QJsonObject& a) { a["allowAnyServer"] = false; }, unavailable},
        {"private but any server", privateBrand, [](QJsonObject& a) { a["allowAnyServer"] = true; }, unavailable},
        {"any server as text", free, [](QJsonObject& a) { a["allowAnyServer"] = "true"; }, unavailable},
        {"empty brand slug", free, [](QJsonObject& a) { setIn(a, "brand", "slug", ""); }, unavailable},
        {"origins not objects", free, [](QJsonObject& a) { a["allowedOrigins"] = QJsonArray{"https://x"}; },
         unavailable},
        {"brand mode differs", privateBrand, [](QJsonObject& a) { setIn(a, "brand", "accessMode", "free"); },
         unavailable},
        {"private without identifier", privateBrand, [](QJsonObject& a) { setIn(a, "brand", "identifier", ""); },
         CommandError::privateIdentifierRequired},
        {"private without presentation", privateBrand, [](QJsonObject& a) { a["useBrandPresentation"] = false; },
         CommandError::privateIdentifierRequired},
        {"private with no enabled server", privateBrand,
         [](QJsonObject& a) {
             a["allowedOrigins"] = QJsonArray{QJsonObject{{"origin", panel}, {"active", false}},
                                              QJsonObject{{"origin", "ftp://x.example"}}};
         },
         CommandError::noAvailableServer},
    };
    for (const auto& [name, answer, edit, expected] : cases) {
        const Read result = read(answer, edit);
        EXPECT_EQ(result.error, expected) << name;
    }
}

TEST(BrandResolutionReader, ProviderFormIsCheckedWhole)
{
    const QJsonObject provider = FakePlatform::providerAnswer(panel, 2);
    const Read good = read(provider, [](QJsonObject& a) { setOrigin(a, "origin", panel + "/c/?x=1"); });
    ASSERT_TRUE(good.resolution) << "origins that differ only by path and query are the same server";
    EXPECT_FALSE(good.resolution->brand.privateAccess) << "the provider form is not a private brand";
    EXPECT_EQ(good.resolution->matchedSlot, 2);
    EXPECT_EQ(good.resolution->catalogBrand, QStringLiteral("calvenor"));
    EXPECT_FALSE(good.resolution->rules.acceptsAnyOrigin);

    const std::vector<std::pair<const char*, Edit>> broken{
        {"two servers",
         [](QJsonObject& a) {
             QJsonArray list = a["allowedOrigins"].toArray();
             list.append(list[0]);
             a["allowedOrigins"] = list;
         }},
        {"matched slot differs", [](QJsonObject& a) { a["matchedSlot"] = 3; }},
        {"slot 6", [](QJsonObject& a) { setOrigin(a, "slot", 6); a["matchedSlot"] = 6; }},
        {"inactive server", [](QJsonObject& a) { setOrigin(a, "active", false); }},
        {"root origin with user", [](QJsonObject& a) { setIn(a, "authentication", "origin", "https://u@panel.example:8443"); }},
        {"another server", [](QJsonObject& a) { setOrigin(a, "origin", "https://other.example"); }},
        {"wrong scope", [](QJsonObject& a) { setIn(a, "authentication", "scope", "any"); }},
        {"own presentation", [](QJsonObject& a) { a["useBrandPresentation"] = true; }},
        {"catalogue of a brand", [](QJsonObject& a) { a["catalogBrand"] = "acme"; }},
        {"free platform", [](QJsonObject& a) { setIn(a, "platform", "accessMode", "free"); a["allowAnyServer"] = true; }},
    };
    for (const auto& [name, edit] : broken)
        EXPECT_EQ(read(provider, edit).error, CommandError::accessConfigurationUnavailable) << name;
}

TEST(BrandResolutionReader, OriginsThatCannotBeNormalisedMatchNothing)
{
    const QUrl broken(QStringLiteral("http://exa mple.com:99999/x"), QUrl::StrictMode);
    ASSERT_FALSE(broken.isValid());
    EXPECT_FALSE(platform::sameOrigin(broken, broken)) << "two broken origins are not the same server";
    EXPECT_FALSE(platform::sameOrigin(broken, QUrl(panel)));
    EXPECT_TRUE(platform::sameOrigin(QUrl(panel + "/a?b#c"), QUrl(panel)));
    EXPECT_FALSE(platform::sameOrigin(QUrl(panel), QUrl("https://panel.example:8444")));
}
