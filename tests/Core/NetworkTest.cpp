// The core's clients through the real HTTP stack against loopback fakes.

#include "OrrinthCore/PanelClient.h"
#include "OrrinthCore/XtreamClient.h"

#include "Await.h"
#include "fakes/CorePlatformRoutes.h"
#include "fakes/FakeXtreamPanel.h"

#include <QNetworkAccessManager>

#include <gtest/gtest.h>

using namespace orrinth;
using namespace std::chrono_literals;
using sendra::fakes::FakeCorePlatform;
using sendra::fakes::FakeXtreamPanel;
using sendra::fakes::Reply;

namespace {

struct NetworkTest : ::testing::Test
{
    QNetworkAccessManager manager;
    std::shared_ptr<HttpTransport> transport = std::make_shared<NetworkTransport>(netkit::HttpSession(&manager));
};

QJsonObject item(const char *id, const char *name)
{
    return {{"id", id}, {"name", name}};
}

} // namespace

TEST_F(NetworkTest, PreparedCatalogueRoundTrip)
{
    FakeCorePlatform platform;
    const QString origin = platform.baseUrl().toString();
    platform.setConfiguration("a/b", {{"brand", QJsonObject{{"id", "a/b"}}},
                                      {"allowedOrigins", QJsonArray{QJsonObject{{"slot", 2}, {"origin", origin}}}}});
    FakeCorePlatform::Publication publication;
    publication.slot = 2;
    publication.origin = origin;
    publication.version = 5;
    publication.generatedAt = QStringLiteral("2026-02-03T04:05:06+01:00");
    publication.normal.movies = {item("1", "Uno"), item("2", "Dos")};
    publication.protectedDocuments.movies = {item("1", "Uno")};
    publication.normal.home = {{"rows", QJsonArray{}}, {"featured", item("2", "Dos")}};
    platform.publish("a/b", publication);
    platform.acceptCode("a/b", "ana", "0427");

    PanelClient client(platform.baseUrl(), platform.baseUrl(), transport);
    const QString brand = QStringLiteral("a/b");
    const BrandConfiguration configuration = coretest::await(client.configuration(brand));
    ASSERT_EQ(configuration.allowedOrigins().size(), 1);
    const BrandServer server = configuration.allowedOrigins().first();
    const auto config = platform.lastRequest("/api/brands/a/b/config");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->rawPath, "/api/brands/a%2Fb/config");
    EXPECT_EQ(config->header("cache-control"), "no-cache");

    const CatalogManifest manifest = coretest::await(client.manifest(brand, server));
    EXPECT_EQ(manifest.version(), 5);
    const CatalogSection films = coretest::await(client.catalog(brand, server, manifest, ContentKind::movie, false));
    EXPECT_EQ(films.items().size(), 2);
    const CatalogSection safe = coretest::await(client.catalog(brand, server, manifest, ContentKind::movie, true));
    EXPECT_EQ(safe.items().size(), 1);
    EXPECT_EQ(coretest::await(client.homeCatalog(brand, server, manifest, false)).featured()->name(),
              QStringLiteral("Dos"));

    coretest::await(client.validatePrivateAccess(brand, QStringLiteral("ANA"), QStringLiteral("0427")));
    const auto validation = platform.lastRequest("/api/access/validate");
    ASSERT_TRUE(validation);
    EXPECT_EQ(validation->header("content-type"), "application/json");
    EXPECT_FALSE(validation->header("cache-control"));
    EXPECT_THROW(coretest::await(client.validatePrivateAccess(brand, QStringLiteral("ana"), QStringLiteral("9999"))),
                 PanelFailure);
}

TEST_F(NetworkTest, PanelCredentialsReachPhpIntactAndFailedListsAreSwallowed)
{
    const std::string password = "p+&=#% /x";
    FakeXtreamPanel panel("ana maria", password);
    panel.answer("get_live_streams", Reply::json(R"([{"stream_id":1,"name":"Uno"}])"));
    panel.answer("get_vod_streams", Reply::json("[]").dropped());
    panel.answer("get_series", Reply::json(R"([{"series_id":7,"name":"Serie"}])"));
    const XtreamCredentials credentials(panel.baseUrl(), QStringLiteral("ana maria"),
                                        QString::fromStdString(password));
    XtreamClient client(transport);

    coretest::await(client.validate(credentials));
    const auto items = coretest::await(client.catalogItems(credentials));
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1].id(), QStringLiteral("7"));
    EXPECT_FALSE(panel.requestsFor("get_vod_streams").empty());

    const XtreamCredentials wrong(panel.baseUrl(), QStringLiteral("ana maria"), QStringLiteral("p &=#% /x"));
    EXPECT_THROW(coretest::await(client.validate(wrong)), CredentialFailure) << "a \"+\" must not arrive as a blank";
}

TEST_F(NetworkTest, CancellationAndTransportFailuresPassThrough)
{
    FakeXtreamPanel panel;
    panel.answer("get_live_streams", Reply::json(R"([{"stream_id":1,"name":"Uno"}])"));
    panel.answer("get_series", Reply::json("[]").held());
    const XtreamCredentials credentials(panel.baseUrl(), QStringLiteral("demo"), QStringLiteral("s3cret"));
    XtreamClient client(transport);

    netkit::CancelToken token;
    auto load = client.catalogItems(credentials, token);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.heldCount() == 1; }, 5000));
    token.cancel();
    EXPECT_THROW(coretest::await(std::move(load)), netkit::Cancelled);
    panel.release();

    panel.answer("", Reply::json("{}").dropped());
    try {
        coretest::await(client.validate(credentials));
        ADD_FAILURE() << "a dropped connection must fail";
    } catch (const netkit::HttpError &error) {
        EXPECT_EQ(error.kind(), netkit::HttpError::Kind::Transport);
        EXPECT_EQ(std::string(error.what()).find("s3cret"), std::string::npos);
    }
}
