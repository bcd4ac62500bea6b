#include "OrrinthCore/ContentDetails.h"
#include "OrrinthCore/JsonCodec.h"
#include "OrrinthCore/Navigation.h"
#include "OrrinthCore/PlaybackRequest.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <limits>

using namespace orrinth;

namespace {

CatalogItem film(QString id = QStringLiteral("7"))
{
    return CatalogItem(id, QStringLiteral("Nocturno"), QStringLiteral("12"), QStringLiteral("Drama"),
                       QUrl(QStringLiteral("http://img.example/n.jpg")), QStringLiteral("mkv"), ContentKind::movie,
                       std::nullopt);
}

template <typename T>
T decode(const char *json)
{
    return decodeJson<T>(QByteArray(json));
}

DecodingError::Kind decodingFailure(const std::function<void()> &decode)
{
    try {
        decode();
    } catch (const DecodingError &error) {
        return error.kind();
    }
    ADD_FAILURE() << "decoding did not fail";
    return DecodingError::Kind::syntax;
}

} // namespace

TEST(PlaybackRequest, ClampsResumeProgressAndTakesIdentityFromTheItem)
{
    const auto progress = [](double fraction) {
        return PlaybackRequest(film(), QUrl(QStringLiteral("http://s/1.mkv")), {}, 0, fraction).resumeProgress();
    };
    EXPECT_EQ(progress(-0.3), 0);
    EXPECT_EQ(progress(0.5), 0.5);
    EXPECT_EQ(progress(0.94), 0.94);
    EXPECT_EQ(progress(0.95), 0.94);
    EXPECT_EQ(progress(1.0), 0.94);
    EXPECT_EQ(progress(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(progress(std::numeric_limits<double>::infinity()), 0.94);
    EXPECT_EQ(progress(-std::numeric_limits<double>::infinity()), 0);

    const QList<QUrl> episodes{QUrl(QStringLiteral("http://s/e1")), QUrl(QStringLiteral("http://s/e2"))};
    const PlaybackRequest a(film(), QUrl(QStringLiteral("http://s/e2")), episodes, 5, 0.2);
    const PlaybackRequest b(film(), QUrl(QStringLiteral("http://s/e2")), episodes, 5, 0.2);
    EXPECT_NE(a.id(), b.id());
    EXPECT_FALSE(a.id().isNull());
    EXPECT_EQ(a.contentID(), QStringLiteral("7"));
    EXPECT_EQ(a.title(), QStringLiteral("Nocturno"));
    EXPECT_EQ(a.episodeIndex(), 5) << "the index is not checked against the list";
    EXPECT_EQ(a.episodeURLs(), episodes);
}

TEST(Enumerations, TextValuesMatchExactly)
{
    EXPECT_EQ(contentKindFromRawValue(u"movies"), ContentKind::movie);
    EXPECT_EQ(contentKindFromRawValue(u"tv"), ContentKind::live);
    EXPECT_FALSE(contentKindFromRawValue(u"movie"));
    EXPECT_FALSE(contentKindFromRawValue(u"TV"));
    EXPECT_EQ(mainDestinationFromRawValue(u"Inicio"), MainDestination::home);
    EXPECT_EQ(mainDestinationFromRawValue(u"Películas"), MainDestination::movies);
    EXPECT_FALSE(mainDestinationFromRawValue(u"inicio"));
    for (const MainDestination destination : allMainDestinations)
        EXPECT_EQ(mainDestinationFromRawValue(rawValue(destination)), destination);

    EXPECT_EQ(SeasonDetails(1, {}).id(), SeasonDetails(1, {}).id());
}

TEST(CatalogItem, EqualityAndHashCoverEveryField)
{
    EXPECT_EQ(film(), film());
    EXPECT_EQ(qHash(film()), qHash(film()));
    const CatalogItem noImage(QStringLiteral("7"), QStringLiteral("Nocturno"), QStringLiteral("12"),
                              QStringLiteral("Drama"), std::nullopt, QStringLiteral("mkv"), ContentKind::movie,
                              std::nullopt);
    const CatalogItem noKind(QStringLiteral("7"), QStringLiteral("Nocturno"), QStringLiteral("12"),
                             QStringLiteral("Drama"), QUrl(QStringLiteral("http://img.example/n.jpg")),
                             QStringLiteral("mkv"), std::nullopt, std::nullopt);
    const CatalogItem withSource(QStringLiteral("7"), QStringLiteral("Nocturno"), QStringLiteral("12"),
                                 QStringLiteral("Drama"), QUrl(QStringLiteral("http://img.example/n.jpg")),
                                 QStringLiteral("mkv"), ContentKind::movie, QUrl(QStringLiteral("http://s/7")));
    EXPECT_NE(film(), noImage);
    EXPECT_NE(film(), noKind);
    EXPECT_NE(film(), withSource);
    EXPECT_NE(film(), film(QStringLiteral("8")));
    QSet<CatalogItem> set{film(), film(), noImage, noKind};
    EXPECT_EQ(set.size(), 3);
}

TEST(CatalogJson, ItemReadingRules)
{
    const auto item = decode<CatalogItem>(R"({"id":"1","name":"Uno","kind":"radio","image":"","category":null,
                                              "sourceURL":"http://s/1.ts","extension":null})");
    EXPECT_FALSE(item.kind());
    EXPECT_FALSE(item.imageURL());
    EXPECT_EQ(item.category(), QStringLiteral("Sin categoría"));
    EXPECT_EQ(item.categoryID(), QString());
    EXPECT_EQ(item.extensionName(), QString());
    EXPECT_EQ(item.sourceURL(), QUrl(QStringLiteral("http://s/1.ts")));

    for (const char *kind : {R"("kind":3)", R"("kind":"TV")", R"("kind":null)", R"("kind":{})"})
        EXPECT_FALSE(decodeJson<CatalogItem>(QByteArray(R"({"id":"1","name":"Uno",)") + kind + "}").kind()) << kind;
    EXPECT_EQ(decode<CatalogItem>(R"({"id":"1","name":"Uno","kind":"series"})").kind(), ContentKind::series);
    EXPECT_FALSE(decode<CatalogItem>(R"({"id":"1","name":"Uno","image":42})").imageURL());
    EXPECT_FALSE(decode<CatalogItem>(R"({"id":"1","name":"Uno","image":"not an address"})").imageURL());

    EXPECT_EQ(decodingFailure([] { decode<CatalogItem>(R"({"id":"1","name":"Uno","category":5})"); }),
              DecodingError::Kind::wrongType);
    EXPECT_EQ(decodingFailure([] { decode<CatalogItem>(R"({"name":"Uno"})"); }), DecodingError::Kind::missingValue);
    EXPECT_EQ(decodingFailure([] { decode<CatalogItem>(R"({"id":1,"name":"Uno"})"); }),
              DecodingError::Kind::wrongType);
    EXPECT_EQ(decodingFailure([] { decode<CatalogItem>(R"({"id":"1","name":"Uno")"); }),
              DecodingError::Kind::syntax);
}

TEST(CatalogJson, SectionsAndRowsFailWithAnyOfTheirItems)
{
    const auto section = decode<CatalogSection>(R"({"items":[{"id":"1","name":"Uno"}]})");
    EXPECT_TRUE(section.categories().isEmpty());
    EXPECT_FALSE(section.version());
    EXPECT_FALSE(section.section());
    EXPECT_EQ(section.items().size(), 1);

    EXPECT_THROW(decode<CatalogSection>(R"({"version":2,"categories":[]})"), DecodingError);
    EXPECT_THROW(decode<CatalogSection>(R"({"items":[{"id":"1","name":"Uno"},{"name":"Dos"}]})"), DecodingError);
    EXPECT_THROW(decode<CatalogRow>(R"({"id":"r","title":"T","items":[{"name":"Dos"}]})"), DecodingError);
    EXPECT_THROW(decode<CatalogSection>(R"({"version":2.5,"items":[]})"), DecodingError);

    const auto home = decode<HomeCatalog>(R"({"version":3,"featured":null,"rows":[]})");
    EXPECT_EQ(home.version(), 3);
    EXPECT_FALSE(home.featured());
    EXPECT_THROW(decode<HomeCatalog>(R"({"rows":[]})"), DecodingError);
    EXPECT_THROW(decode<HomeCatalog>(R"({"version":3,"featured":{"id":"1"},"rows":[]})"), DecodingError);
}

TEST(CatalogJson, WritingRoundTripsAndLeavesAbsentFieldsOut)
{
    const CatalogItem bare(QStringLiteral("1"), QStringLiteral("Uno"), QString(), QStringLiteral("Cine"),
                           std::nullopt, QString(), std::nullopt, std::nullopt);
    const QJsonObject written = toJson(bare);
    EXPECT_EQ(written.keys(),
              (QStringList{"category", "categoryId", "extension", "id", "name"}));

    const HomeCatalog home(4, film(), {CatalogRow(QStringLiteral("r"), QStringLiteral("Top"), {film(), bare})});
    const QByteArray json = QJsonDocument(toJson(home)).toJson();
    const auto read = decodeJson<HomeCatalog>(json);
    EXPECT_EQ(read.version(), 4);
    EXPECT_EQ(read.featured(), film());
    ASSERT_EQ(read.rows().size(), 1);
    EXPECT_EQ(read.rows().first().items(), (QList<CatalogItem>{film(), bare}));

    const CatalogSection section(std::nullopt, std::nullopt, {CatalogCategory(QStringLiteral("1"), QStringLiteral("A"))},
                                 {film()});
    const QJsonObject sectionJson = toJson(section);
    EXPECT_FALSE(sectionJson.contains(QStringLiteral("version")));
    EXPECT_EQ(decodeJson<CatalogSection>(QJsonDocument(sectionJson).toJson()).categories(), section.categories());
}

TEST(BrandJson, ConfigurationDefaultsAndFreeModeSources)
{
    const auto minimal = decode<BrandConfiguration>(R"({"brand":{"id":"orrinth"}})");
    EXPECT_EQ(minimal.schemaVersion(), 1);
    EXPECT_EQ(minimal.slug(), QStringLiteral("orrinth"));
    EXPECT_TRUE(minimal.enabled());
    EXPECT_FALSE(minimal.emergencyLock());
    EXPECT_FALSE(minimal.freeMode());
    EXPECT_EQ(minimal.configVersion(), 1);
    EXPECT_TRUE(minimal.allowedOrigins().isEmpty());

    EXPECT_FALSE(decode<BrandConfiguration>(R"({"brand":{"id":"b"},"allowAnyServer":false,"freeMode":true})")
                     .freeMode());
    EXPECT_TRUE(decode<BrandConfiguration>(R"({"brand":{"id":"b"},"allowAnyServer":null,"freeMode":true})")
                    .freeMode());
    EXPECT_THROW(decode<BrandConfiguration>(R"({"enabled":true})"), DecodingError);
    EXPECT_THROW(decode<BrandConfiguration>(R"({"brand":{"name":"b"}})"), DecodingError);
    EXPECT_THROW(decode<BrandConfiguration>(R"({"brand":{"id":"b"},"enabled":"yes"})"), DecodingError);
    EXPECT_THROW(decode<BrandConfiguration>(
                     R"({"brand":{"id":"b"},"allowedOrigins":[{"slot":1,"origin":"http://ok"},{"slot":2,"origin":"no address"}]})"),
                 DecodingError);
}

TEST(BrandJson, ServersResolutionsAndManifests)
{
    const auto slot1 = decode<BrandServer>(R"({"slot":1,"origin":"http://a"})");
    EXPECT_TRUE(slot1.primary());
    EXPECT_TRUE(slot1.active());
    EXPECT_FALSE(decode<BrandServer>(R"({"slot":2,"origin":"http://a"})").primary());
    EXPECT_FALSE(decode<BrandServer>(R"({"slot":1,"origin":"http://a","primary":false})").primary());
    const auto blocked =
        decode<BrandServer>(R"({"slot":3,"origin":"http://a","parentalBlockedCategories":["X","Y","X"]})");
    EXPECT_EQ(blocked.parentalBlockedCategories(), (QSet<QString>{"X", "Y"}));
    EXPECT_EQ(decodeJson<BrandServer>(QJsonDocument(toJson(blocked)).toJson()), blocked);
    EXPECT_EQ(qHash(decodeJson<BrandServer>(QJsonDocument(toJson(blocked)).toJson())), qHash(blocked));

    const char *resolution = R"({"schemaVersion":4,"brand":{"slug":"o","identifier":"ID","name":"O","accessMode":"private"},
        "allowAnyServer":false,"useBrandPresentation":true,"allowedOrigins":[],
        "platform":{"slug":"calvenor","accessMode":"private","version":2}})";
    EXPECT_FALSE(decode<BrandResolution>(resolution).catalogBrand());
    QByteArray withoutPresentation(resolution);
    withoutPresentation.replace("\"useBrandPresentation\":true,", "");
    EXPECT_THROW(decodeJson<BrandResolution>(withoutPresentation), DecodingError);

    const auto manifest = decode<CatalogManifest>(R"({"client":"o","serverSlot":1,"origin":"http://a","version":3,
        "generatedAt":"g","counts":{"tv":2,"movies":1},"protectedCounts":{}})");
    EXPECT_EQ(manifest.counts().value(QStringLiteral("series"), 0), 0);
    EXPECT_EQ(manifest.counts().value(QStringLiteral("tv")), 2);
    EXPECT_THROW(decode<CatalogManifest>(R"({"client":"o","serverSlot":1,"origin":"http://a","version":3,
        "generatedAt":"g","counts":{}})"),
                 DecodingError);
}
