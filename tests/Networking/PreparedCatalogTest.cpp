#include "Networking/PanelAccess.h"

#include "AwaitOutcome.h"
#include "fakes/FakePlatform.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QTest>

#include <gtest/gtest.h>

using namespace sendra;
using namespace std::chrono_literals;
using sendra::fakes::FakePlatform;
using sendra::fakes::Reply;
using sendra::testkit::awaitOutcome;

namespace {

const std::string origin = "https://panel.example:8443";

QJsonArray items(const QString& prefix, int count)
{
    QJsonArray list;
    for (int i = 1; i <= count; ++i)
        list.append(FakePlatform::item(prefix + QString::number(i), prefix + " " + QString::number(i)));
    return list;
}

FakePlatform::Build sampleBuild()
{
    FakePlatform::Build build;
    build.version = 7;
    build.normal.tv = items("tv", 2);
    QJsonObject numbered{{"id", 42}, {"name", "Numbered"}, {"kind", "series"}, {"categoryId", 9},
                         {"image", "https://img.example/42.jpg"}, {"extension", "mkv"}, {"content_type", "generic"}};
    // A picture given as the platform's own path.
    QJsonObject film2 = FakePlatform::item("m2", "Film 2", "movies", "Acción");
    film2.insert("image", "/img/m2.png");
    build.normal.movies = QJsonArray{numbered, film2};
    build.normal.series = items("s", 1);
    QJsonObject scripted = FakePlatform::item("s1", "Serie", "series");
    scripted.insert("image", "javascript:void 0");
    build.normal.rows = QJsonArray{
        QJsonObject{{"id", "top"}, {"title", "Lo más visto"}, {"items", QJsonArray{film2}}},
        QJsonObject{{"items", QJsonArray{scripted, QJsonObject{{"id", "x"}}}}},
        QJsonObject{{"id", "bad"}, {"items", QJsonArray{QJsonObject{{"name", ""}}, 3}}}};
    FakePlatform::Sections kids;
    kids.tv = items("kid", 1);
    kids.rows = QJsonArray{QJsonObject{{"id", "k"}, {"items", QJsonArray{FakePlatform::item("kid1", "Kid")}}}};
    build.protectedSections = kids;
    return build;
}

class PreparedCatalogTest : public ::testing::Test
{
protected:
    QNetworkAccessManager manager;
    FakePlatform platform;
    PanelAccess access{netkit::HttpSession(&manager), {platform.baseUrl(), platform.baseUrl()},
                       PanelTimeouts{1s, 1s, 300ms, 2s, 300ms}};

    void SetUp() override { platform.publish("acme", 2, origin, sampleBuild()); }

    auto load(bool protectedBuild = false, netkit::CancelToken token = {})
    {
        return awaitOutcome(access.preparedCatalog("acme", 2, QUrl(QString::fromStdString(origin) + "/path?x=1"),
                                                   protectedBuild, token));
    }

    std::size_t documents() const
    {
        std::size_t count = 0;
        for (const char* document : {"tv", "movies", "series", "home"})
            count += platform.requestCount(std::string("/api/catalog/acme/") + document);
        return count;
    }
};

} // namespace

TEST_F(PreparedCatalogTest, LoadsOneConsistentBuildWithItsFeed)
{
    const auto outcome = load();
    ASSERT_TRUE(outcome.value) << (outcome.commandError() ? caseName(*outcome.commandError()) : "other failure");
    const LoadedCatalog& catalog = *outcome.value;
    QStringList keys;
    for (const MediaNode& node : catalog.nodes)
        keys << node.catalogKey();
    EXPECT_EQ(keys, QStringList({"tv:tv1", "tv:tv2", "movies:42", "movies:m2", "series:s1"}));
    const MediaNode& numbered = catalog.nodes[2];
    EXPECT_EQ(numbered.kind, SignalKind::cinema) << "a section's kind wins over the item's";
    EXPECT_EQ(numbered.groupID, QStringLiteral("9"));
    EXPECT_EQ(numbered.groupName, QStringLiteral("Contenido"));
    EXPECT_EQ(numbered.artwork, QUrl("https://img.example/42.jpg"));
    EXPECT_EQ(numbered.fileSuffix, QStringLiteral("mkv"));
    EXPECT_EQ(numbered.contentClassification, QStringLiteral("generic"));
    EXPECT_EQ(catalog.nodes[3].groupName, QStringLiteral("Acción"));
    EXPECT_EQ(catalog.nodes[3].artwork, platform.baseUrl().resolved(QUrl("/img/m2.png")));
    for (const MediaNode& node : catalog.nodes)
        EXPECT_FALSE(node.directURL);
    EXPECT_EQ(catalog.preparedVersion, 7);

    ASSERT_TRUE(catalog.feed);
    EXPECT_EQ(catalog.feed->revision, 7);
    ASSERT_EQ(catalog.feed->lanes.size(), 2) << "a row whose items are all unusable is dropped";
    EXPECT_EQ(catalog.feed->lanes[0].id, QStringLiteral("top"));
    EXPECT_EQ(catalog.feed->lanes[0].subtitle, QStringLiteral("Catálogo de acceso rápido"));
    EXPECT_EQ(catalog.feed->lanes[1].title, QStringLiteral("Selección"));
    EXPECT_EQ(catalog.feed->lanes[1].nodes.size(), 1);
    EXPECT_EQ(catalog.feed->lanes[1].nodes[0].kind, SignalKind::episodic) << "feed items keep their own kind";
    EXPECT_EQ(catalog.feed->lanes[0].nodes[0].artwork, catalog.nodes[3].artwork);
    EXPECT_EQ(catalog.feed->lanes[1].nodes[0].artwork, std::nullopt) << "only web pictures are kept";
    EXPECT_EQ(catalog.feed->spotlight->id, QStringLiteral("m2")) << "no featured item: the first lane's first entry";

    const QString firstRandomId = catalog.feed->lanes[1].id;
    EXPECT_FALSE(QUuid(firstRandomId).isNull());
    EXPECT_NE(load().value->feed->lanes[1].id, firstRandomId) << "a row without id gets a new one every load";

    EXPECT_EQ(platform.requestCount("/api/catalog/acme/manifest"), 4u) << "two manifest reads per load";
    const auto section = platform.lastRequest("/api/catalog/acme/movies");
    EXPECT_EQ(section->query,
              "serverSlot=2&origin=https%3A%2F%2Fpanel.example%3A8443&version=7&generation=2026-01-01T00%3A00%3A00Z");
    EXPECT_EQ(section->header("Cache-Control"), std::string("no-cache"));
}

TEST_F(PreparedCatalogTest, ProtectedBuildUsesItsOwnCountsAndMode)
{
    const auto outcome = load(true);
    ASSERT_TRUE(outcome.value);
    ASSERT_EQ(outcome.value->nodes.size(), 1);
    EXPECT_EQ(outcome.value->nodes[0].id, QStringLiteral("kid1"));
    ASSERT_TRUE(outcome.value->feed);
    for (const char* document : {"tv", "home"})
        EXPECT_EQ(platform.lastRequest(std::string("/api/catalog/acme/") + document)->queryValue("catalogMode"),
                  std::string("protected"));
    EXPECT_EQ(platform.requestCount("/api/catalog/acme/movies"), 0u) << "a count of 0 sends no section request";

    platform.route("GET", "/api/catalog/acme/tv", Reply::json(R"({"version":7,"items":[{"id":"kid1","name":"Kid"}]})"));
    EXPECT_EQ(load(true).commandError(), CommandError::invalidResponse) << "a protected section must say so";
}

TEST_F(PreparedCatalogTest, BadArgumentsFailWithoutSendingAnything)
{
    for (const auto& [brand, slot] : std::vector<std::pair<QString, int>>{
             {"acme", 0}, {"acme", 6}, {"", 1}, {"Acme", 1}, {"ac_me", 1}, {"ac me", 1}, {".", 1}, {"..", 1}}) {
        EXPECT_EQ(awaitOutcome(access.preparedCatalog(brand, slot, QUrl("https://p.example"), false, {})).commandError(),
                  CommandError::invalidResponse)
            << brand.toStdString() << " " << slot;
    }
    EXPECT_EQ(platform.requestCount(), 0u);
}

TEST_F(PreparedCatalogTest, InconsistentDocumentsFailTheLoad)
{
    using Tweak = std::function<void(QJsonObject&, int)>;
    const std::vector<std::pair<const char*, Tweak>> manifests{
        {"another client", [](QJsonObject& m, int) { m["client"] = "other"; }},
        {"another slot", [](QJsonObject& m, int) { m["serverSlot"] = "3"; }},
        {"another origin", [](QJsonObject& m, int) { m["origin"] = "https://panel.example"; }},
        {"version 0", [](QJsonObject& m, int) { m["version"] = 0; }},
        {"no generation", [](QJsonObject& m, int) { m["generatedAt"] = ""; }},
        {"negative count", [](QJsonObject& m, int) { m["counts"] = QJsonObject{{"tv", -1}, {"movies", 2}, {"series", 1}}; }},
        {"count as words", [](QJsonObject& m, int) { m["counts"] = QJsonObject{{"tv", "two"}, {"movies", 2}, {"series", 1}}; }},
        {"build changed meanwhile", [](QJsonObject& m, int served) { if (served % 2 == 1) m["generatedAt"] = "later"; }},
        {"all empty", [](QJsonObject& m, int) { m["counts"] = QJsonObject{{"tv", 0}, {"movies", 0}, {"series", 0}}; }},
    };
    for (const auto& [name, tweak] : manifests) {
        platform.setManifestTweak(tweak);
        EXPECT_EQ(load().commandError(), CommandError::invalidResponse) << name;
    }
    platform.setManifestTweak({});

    const std::vector<std::pair<const char*, std::string>> sections{
        {"one item more", R"({"version":7,"items":[{"id":"a","name":"A"},{"id":"b","name":"B"},{"id":"c","name":"C"}]})"},
        {"one item fewer", R"({"version":7,"items":[{"id":"a","name":"A"}]})"},
        {"repeated id", R"({"version":7,"items":[{"id":"a","name":"A"},{"id":"a","name":"B"}]})"},
        {"empty name", R"({"version":7,"items":[{"id":"a","name":"A"},{"id":"b","name":""}]})"},
        {"other version", R"({"version":8,"items":[{"id":"a","name":"A"},{"id":"b","name":"B"}]})"},
    };
    for (const auto& [name, body] : sections) {
        platform.route("GET", "/api/catalog/acme/tv", Reply::json(body));
        EXPECT_EQ(load().commandError(), CommandError::invalidResponse) << name;
    }
}

TEST_F(PreparedCatalogTest, UnusableHomeLeavesTheCatalogueWithoutAFeed)
{
    for (Reply home : {Reply::empty(500), Reply::json(R"({"version":6,"rows":[]})"),
                       Reply::json(R"({"version":7,"rows":"none"})"), Reply::json("{}").hangingAfterHeaders()}) {
        platform.route("GET", "/api/catalog/acme/home", home);
        const auto outcome = load();
        ASSERT_TRUE(outcome.value);
        EXPECT_FALSE(outcome.value->feed);
        EXPECT_EQ(outcome.value->nodes.size(), 5);
    }
    platform.release();
}

TEST_F(PreparedCatalogTest, FailingSectionCancelsAndAwaitsItsSiblings)
{
    platform.route("GET", "/api/catalog/acme/tv", Reply::json("{}").held());
    platform.route("GET", "/api/catalog/acme/series", Reply::json("{}").held());
    platform.route("GET", "/api/catalog/acme/movies", Reply::empty(500).after(50ms));

    QElapsedTimer clock;
    clock.start();
    const auto outcome = load();
    EXPECT_EQ(outcome.commandError(), CommandError::invalidResponse);
    EXPECT_LT(clock.elapsed(), 1500) << "the held siblings were cancelled, not waited out";
    EXPECT_EQ(platform.requestCount("/api/catalog/acme/manifest"), 1u) << "no second manifest read after a failure";
    // Every child had ended when the load failed: nothing of it is still in flight.
    const QList<QNetworkReply*> replies = manager.findChildren<QNetworkReply*>();
    EXPECT_TRUE(std::none_of(replies.begin(), replies.end(), [](QNetworkReply* r) { return r->isRunning(); }));
    platform.release();
}

TEST_F(PreparedCatalogTest, ManifestTimeOutEndsTheLoadBeforeAnyDocument)
{
    platform.route("GET", "/api/catalog/acme/manifest", Reply::json("{}").hangingAfterHeaders());
    const auto hung = load();
    ASSERT_TRUE(hung.threw<netkit::HttpError>());
    try {
        std::rethrow_exception(hung.error);
    } catch (const netkit::HttpError& error) {
        EXPECT_EQ(error.kind(), netkit::HttpError::Kind::TimedOut);
    }
    EXPECT_EQ(documents(), 0u);
    platform.release();
}

TEST_F(PreparedCatalogTest, CallerCancellationDuringTheParallelPhaseEndsWithCancelled)
{
    platform.route("GET", "/api/catalog/acme/movies", Reply::json("{}").held());
    netkit::CancelToken token;
    auto task = access.preparedCatalog("acme", 2, QUrl(QString::fromStdString(origin)), false, token);
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform.heldCount() == 1; }, 5000));
    token.cancel();
    EXPECT_TRUE(awaitOutcome(std::move(task)).threw<netkit::Cancelled>());
    EXPECT_EQ(platform.requestCount("/api/catalog/acme/manifest"), 1u);
    platform.release();
}
