#include "Domain/BrandTypes.h"
#include "Domain/CommandError.h"
#include "Domain/OriginNormalization.h"
#include "Domain/PlatformLinks.h"
#include "Domain/SessionTypes.h"
#include "Domain/StoredJson.h"
#include "Domain/XtreamStreamAddressPolicy.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace sendra;

namespace {
void expectRejected(const QString& origin, const QString& user, const QString& secret)
{
    try {
        ProviderSession::create(QUrl(origin), user, secret);
        ADD_FAILURE() << "accepted " << origin.toStdString();
    } catch (const CommandFailure& failure) {
        EXPECT_EQ(failure.error(), CommandError::invalidCredentials);
        // The failure's own text never carries what was typed.
        EXPECT_EQ(QString::fromLatin1(failure.what()).contains(secret.isEmpty() ? "\x01" : secret), false);
    }
}

BrandResolution neutralResolution(std::optional<int> matchedSlot, bool enabled = true, int slot = 2)
{
    BrandResolution resolution;
    resolution.brand = BrandPresentation::neutral();
    resolution.matchedSlot = matchedSlot;
    resolution.rules.origins = {
        PanelOrigin{1, QUrl("http://other.example:80"), true, true, {}},
        PanelOrigin{slot, QUrl("http://panel.example:8080/c/"), enabled, false, {"adultos"}},
    };
    return resolution;
}
} // namespace

TEST(OriginNormalization, keepsSchemeUserHostAndPortOnly)
{
    EXPECT_EQ(normalizedOrigin(QUrl("HTTPS://Panel.Example:8443/a/b.php?x=1#frag")), QUrl("https://panel.example:8443"));
    EXPECT_EQ(normalizedOrigin(QUrl("http://ana:pw@panel.example/x")).toString(), "http://ana:pw@panel.example");
    EXPECT_EQ(normalizedOrigin(QUrl("http://panel.example/")), normalizedOrigin(QUrl("http://panel.example")));
    const QUrl broken("http://bad host/");
    EXPECT_EQ(normalizedOrigin(broken), broken);
}

TEST(ProviderSession, validatesAndNormalisesButKeepsTheTypedTexts)
{
    const ProviderSession session =
        ProviderSession::create(QUrl("HTTPS://Panel.Example:8443/player_api.php?u=1#top"), " ana ", "pa ss+");
    EXPECT_EQ(session.origin.toString(), "https://panel.example:8443");
    EXPECT_EQ(session.user, " ana ");
    EXPECT_EQ(session.secret, "pa ss+");
    EXPECT_EQ(ProviderSession::create(QUrl("http://h"), "u", "   ").secret, "   ");

    expectRejected("ftp://panel.example", "ana", "pw");
    expectRejected("panel.example:8080", "ana", "pw");
    expectRejected("http:///path", "ana", "pw");
    expectRejected("http://panel.example", " \t\n", "pw");
    expectRejected("http://panel.example", "ana", "");

    const auto back = decodeRecord<ProviderSession>(encodeRecord(session));
    EXPECT_EQ(back, session);
    EXPECT_FALSE(fromJson<ProviderSession>(QJsonObject{{"origin", "https://h"}, {"user", "a"}}));
}

TEST(SourceDraft, storedFormNeedsAllSevenTextsAndKnownValues)
{
    const SourceDraft fresh;
    EXPECT_EQ(fresh.accessMode, PlatformAccessMode::free);
    EXPECT_EQ(fresh.method, SourceMethod::portal);

    SourceDraft draft{PlatformAccessMode::privateBrand, SourceMethod::playlist, "marca", "http://s", "u", "p+w", "http://l"};
    const QJsonObject stored = toJson(draft);
    EXPECT_EQ(stored.value("accessMode"), "private");
    EXPECT_EQ(stored.value("method"), "Lista M3U");
    EXPECT_EQ(fromJson<SourceDraft>(stored), draft);

    for (const auto& [key, value] : QList<std::pair<const char*, QJsonValue>>{
             {"method", "Xtream"}, {"accessMode", "Private"}, {"password", 5}, {"playlist", QJsonValue()}}) {
        QJsonObject bad = stored;
        bad.insert(QLatin1StringView(key), value);
        EXPECT_FALSE(fromJson<SourceDraft>(bad)) << key;
    }
}

TEST(BrandResolution, providerAuthenticationNeedsTheMatchedEnabledNeutralServer)
{
    const QUrl given("http://panel.example:8080/get.php?username=a");
    EXPECT_TRUE(neutralResolution(2).permitsProviderAuthentication(given, false));
    EXPECT_TRUE(neutralResolution(2).permitsProviderAuthentication(QUrl("HTTP://PANEL.example:8080"), false));
    EXPECT_FALSE(neutralResolution(2).permitsProviderAuthentication(given, true));
    EXPECT_FALSE(neutralResolution(2, false).permitsProviderAuthentication(given, false));
    EXPECT_FALSE(neutralResolution(2, true, 1).permitsProviderAuthentication(given, false));
    EXPECT_FALSE(neutralResolution(std::nullopt).permitsProviderAuthentication(given, false));
    EXPECT_FALSE(neutralResolution(2).permitsProviderAuthentication(QUrl("http://panel.example:8081"), false));

    BrandResolution branded = neutralResolution(2);
    branded.brand.slug = "otra";
    EXPECT_FALSE(branded.permitsProviderAuthentication(given, false));
    BrandResolution presented = neutralResolution(2);
    presented.useBrandPresentation = true;
    EXPECT_FALSE(presented.permitsProviderAuthentication(given, false));
    BrandResolution privateBrand = neutralResolution(2);
    privateBrand.brand.privateAccess = true;
    EXPECT_FALSE(privateBrand.permitsProviderAuthentication(given, false));

    BrandResolution open = privateBrand;
    open.rules.acceptsAnyOrigin = true;
    open.rules.origins.clear();
    EXPECT_TRUE(open.permitsProviderAuthentication(given, true));
}

TEST(PanelRules, matchingOriginIsTheFirstEnabledServerAtTheSameOrigin)
{
    PanelRules rules = neutralResolution(2).rules;
    rules.origins.append(PanelOrigin{3, QUrl("http://panel.example:8080"), true, false, {}});
    EXPECT_EQ(rules.matchingOrigin(QUrl("HTTP://panel.EXAMPLE:8080/get.php?username=a")).value_or(PanelOrigin{}).slot, 2);
    EXPECT_EQ(rules.matchingOrigin(QUrl("http://other.example:80/x")).value_or(PanelOrigin{}).slot, 1);
    rules.origins[1].enabled = false;
    EXPECT_EQ(rules.matchingOrigin(QUrl("http://panel.example:8080")).value_or(PanelOrigin{}).slot, 3)
        << "disabled servers are passed over";
    EXPECT_FALSE(rules.matchingOrigin(QUrl("http://panel.example:8081")));
    EXPECT_FALSE(rules.matchingOrigin(QUrl("https://panel.example:8080")));
}

TEST(PlatformLinks, onlyPlainHttpsAddressesAreSafe)
{
    EXPECT_EQ(PlatformLinks::safeWebURL(QStringLiteral("HTTPS://brand.example/privacy")),
              QUrl("https://brand.example/privacy"));
    EXPECT_FALSE(PlatformLinks::safeWebURL(QStringLiteral("http://brand.example/privacy")));
    EXPECT_FALSE(PlatformLinks::safeWebURL(QStringLiteral("https://user:pw@brand.example/")));
    EXPECT_FALSE(PlatformLinks::safeWebURL(QStringLiteral("https://user@brand.example/")));
    EXPECT_FALSE(PlatformLinks::safeWebURL(QStringLiteral("no address at all")));
    EXPECT_FALSE(PlatformLinks::safeWebURL(QStringLiteral("javascript:alert(1)")));
    EXPECT_FALSE(PlatformLinks::safeWebURL(std::nullopt));

    const QUrl privacy = PlatformLinks::privacy();
    EXPECT_EQ(privacy.scheme(), "https");
    EXPECT_EQ(privacy.path(), "/platform/privacy");
    EXPECT_EQ(privacy.host(), PlatformLinks::accessBase().host());
    EXPECT_EQ(PlatformLinks::support().scheme(), "mailto");
}

TEST(XtreamStreamAddressPolicy, onlyShortAlphanumericExtensionsPass)
{
    using XtreamStreamAddressPolicy::fileExtension;
    EXPECT_EQ(fileExtension(QStringLiteral(" MKV\n"), "mp4"), "mkv");
    EXPECT_EQ(fileExtension(QStringLiteral("12345678"), "mp4"), "12345678");
    for (const auto& value : {std::optional<QString>("mkv?token=1"), std::optional<QString>(""),
                              std::optional<QString>("123456789"), std::optional<QString>("m kv"),
                              std::optional<QString>("ñ"), std::optional<QString>()})
        EXPECT_EQ(fileExtension(value, "ts"), "ts");
}
