#include "OrrinthCore/AccessFlowPolicy.h"
#include "OrrinthCore/Addresses.h"
#include "OrrinthCore/CatalogPolicy.h"
#include "OrrinthCore/PlaybackReconnectPolicy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace orrinth;

namespace {

BrandServer server(const char *origin, bool active = true, qint64 slot = 1)
{
    return BrandServer(slot, QUrl(QString::fromLatin1(origin)), active, std::nullopt, {});
}

BrandConfiguration configuration(QList<BrandServer> servers, bool freeMode = false)
{
    return BrandConfiguration(1, QStringLiteral("o"), true, false, freeMode, 1, std::move(servers));
}

CatalogItem item(std::optional<ContentKind> kind, QString category = QStringLiteral("Cine"),
                 QString categoryID = QStringLiteral("1"))
{
    return CatalogItem(QStringLiteral("i"), QStringLiteral("n"), categoryID, category, std::nullopt, QString(), kind,
                       std::nullopt);
}

BrandResolution resolution(qint64 schema = 4, QString platform = QStringLiteral("calvenor"),
                           QList<BrandServer> servers = {server("http://a")}, bool allowAnyServer = false)
{
    return BrandResolution(schema,
                           ResolvedBrand(QStringLiteral("orrinth"), QStringLiteral("Orr-ID"), QStringLiteral("O"),
                                         QStringLiteral("private")),
                           allowAnyServer, true, std::nullopt, std::move(servers),
                           PlatformDescriptor(platform, QStringLiteral("private"), 1));
}

} // namespace

TEST(OriginReduction, ReducesToSchemeHostAndPortAndNeverMatchesBrokenOrigins)
{
    EXPECT_EQ(reducedOrigin(QUrl(QStringLiteral("HTTP://Panel.Example.COM:8080/a/b?x=1#f"))),
              QStringLiteral("http://panel.example.com:8080"));
    EXPECT_TRUE(sameOrigin(QUrl(QStringLiteral("http://panel.example.com/")),
                           QUrl(QStringLiteral("http://PANEL.example.com/x?y#z"))));
    EXPECT_FALSE(sameOrigin(QUrl(QStringLiteral("http://h")), QUrl(QStringLiteral("https://h"))));
    EXPECT_FALSE(sameOrigin(QUrl(QStringLiteral("http://h:80")), QUrl(QStringLiteral("http://h:8080"))));
    EXPECT_EQ(reducedOrigin(QUrl(QStringLiteral("http://User@h/p"))), QStringLiteral("http://user@h"));

    const QUrl broken(QStringLiteral("http://exa mple.com"), QUrl::StrictMode);
    const QUrl pathOnly(QStringLiteral("just/a/path"));
    EXPECT_FALSE(reducedOrigin(broken));
    EXPECT_FALSE(sameOrigin(broken, broken)) << "two unusable origins are not the same origin";
    EXPECT_FALSE(sameOrigin(pathOnly, pathOnly));

    EXPECT_EQ(normalizedAddress(QUrl(QStringLiteral("https://Host.example:9/p?q#f"))),
              QUrl(QStringLiteral("https://host.example:9")));
    EXPECT_EQ(normalizedAddress(pathOnly), pathOnly) << "unreducible addresses come back unchanged";
}

TEST(CatalogPolicy, PermitsOnlyActiveMatchingServersUnlessFree)
{
    const CatalogPolicy policy;
    EXPECT_TRUE(policy.permits(QUrl(QStringLiteral("http://anything")), configuration({}, true)));
    EXPECT_FALSE(policy.permits(QUrl(QStringLiteral("http://a")), configuration({server("http://a", false)})));
    for (const char *given : {"http://A/", "http://a/path", "http://a?q=1", "http://a#f", "http://a/"})
        EXPECT_TRUE(policy.permits(QUrl(QString::fromLatin1(given)),
                                   configuration({server("http://b"), server("http://a", true, 2)})))
            << given;
    EXPECT_FALSE(policy.permits(QUrl(QStringLiteral("https://a")), configuration({server("http://a")})));
    const QUrl broken(QStringLiteral("http://a b"), QUrl::StrictMode);
    EXPECT_FALSE(policy.permits(broken, configuration({BrandServer(1, broken, true, std::nullopt, {})})));
}

TEST(CatalogPolicy, DestinationsAndFiltering)
{
    const CatalogPolicy policy;
    using D = MainDestination;
    EXPECT_EQ(policy.destinations({}), (QList<D>{D::home, D::favorites, D::search, D::settings}));
    EXPECT_EQ(policy.destinations({item(ContentKind::series), item(std::nullopt), item(ContentKind::live),
                                   item(ContentKind::series)}),
              (QList<D>{D::home, D::live, D::series, D::favorites, D::search, D::settings}));

    const QList<CatalogItem> items{item(ContentKind::live, QStringLiteral(" Adultos\n")),
                                   item(ContentKind::live, QStringLiteral("Noticias"), QStringLiteral("adultos")),
                                   item(ContentKind::movie, QStringLiteral("ADULTOS"))};
    EXPECT_EQ(policy.filtered(items, {}), items);
    const auto kept = policy.filtered(items, {QStringLiteral("  adultos ")});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept.first().category(), QStringLiteral("Noticias")) << "a matching category id alone does not block";
}

TEST(AccessFlowPolicy, RoutesAndPrivateResolutionRules)
{
    const AccessFlowPolicy policy;
    EXPECT_EQ(policy.route(true, LoginSourceMethod::playlist), AccessFlowRoute::freeSource);
    EXPECT_EQ(policy.route(false, LoginSourceMethod::xtream), AccessFlowRoute::privateIdentifier);
    EXPECT_EQ(policy.route(false, LoginSourceMethod::playlist), AccessFlowRoute::privatePlaylistUnavailable);

    const QString brand = QStringLiteral("orrinth");
    EXPECT_TRUE(policy.permits(resolution(), brand, QStringLiteral("  orr-id\n")));
    EXPECT_TRUE(policy.permits(resolution(5), brand, QStringLiteral("ORR-ID")));
    EXPECT_FALSE(policy.permits(resolution(3), brand, QStringLiteral("orr-id")));
    EXPECT_FALSE(policy.permits(resolution(6), brand, QStringLiteral("orr-id")));
    EXPECT_FALSE(policy.permits(resolution(4, QStringLiteral("Calvenor")), brand, QStringLiteral("orr-id")));
    EXPECT_FALSE(policy.permits(resolution(), QStringLiteral("Orrinth"), QStringLiteral("orr-id")));
    EXPECT_FALSE(policy.permits(resolution(), brand, QStringLiteral("other")));
    EXPECT_FALSE(policy.permits(resolution(4, QStringLiteral("calvenor"), {server("http://a", false)}), brand,
                                QStringLiteral("orr-id")));
    EXPECT_FALSE(policy.permits(resolution(4, QStringLiteral("calvenor"), {server("http://a")}, true), brand,
                                QStringLiteral("orr-id")));
}

TEST(PlaybackReconnectPolicy, BoundsAttemptsAndGrowsDelaysLinearly)
{
    EXPECT_EQ(PlaybackReconnectPolicy(0, 0, -2), PlaybackReconnectPolicy(1, 1, 0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const PlaybackReconnectPolicy fromNaN(nan, 3, nan);
    EXPECT_EQ(fromNaN.startupTimeout(), 1);
    EXPECT_EQ(fromNaN.delayStep(), 0);

    const PlaybackReconnectPolicy policy(30, 4, 5);
    for (qint64 done = 0; done <= 3; ++done)
        EXPECT_TRUE(policy.canRetry(done)) << done;
    EXPECT_FALSE(policy.canRetry(4));
    EXPECT_EQ(policy.delay(1), 5);
    EXPECT_EQ(policy.delay(4), 20);
    EXPECT_EQ(policy.delay(9), 20);
    EXPECT_EQ(policy.delay(0), 5);
    EXPECT_EQ(policy.delay(-1), 5);

    // A long step is kept as given; only an endless one is held to what a timer can wait.
    const PlaybackReconnectPolicy patient(30, 4, 5000);
    EXPECT_EQ(patient.delayStep(), 5000);
    EXPECT_EQ(patient.delay(4), 20000);

    const PlaybackReconnectPolicy endless(30, std::numeric_limits<qint64>::max(),
                                          std::numeric_limits<double>::infinity());
    const double longest = endless.delay(std::numeric_limits<qint64>::max());
    EXPECT_TRUE(std::isfinite(longest));
    EXPECT_EQ(longest, PlaybackReconnectPolicy::maximumDelay);
}
