#include "Networking/PanelAccess.h"

#include "AwaitOutcome.h"
#include "fakes/FakePlatform.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTimer>

#include <gtest/gtest.h>

using namespace sendra;
using namespace std::chrono_literals;
using sendra::fakes::FakePlatform;
using sendra::fakes::Reply;
using sendra::testkit::awaitOutcome;

namespace {

class PanelAccessTest : public ::testing::Test
{
protected:
    QNetworkAccessManager manager;
    FakePlatform platform;
    PanelAccess access{netkit::HttpSession(&manager), {platform.baseUrl(), platform.baseUrl()},
                       PanelTimeouts{1s, 1s, 1s, 1s, 1s}};
    const QUrl panel{QStringLiteral("http://panel.example:8080/c/?user=x#top")};

    template<class T>
    static std::string errorName(const sendra::testkit::Outcome<T>& outcome)
    {
        const auto error = outcome.commandError();
        return error ? caseName(*error) : "no CommandError";
    }
};

} // namespace

TEST_F(PanelAccessTest, ResolutionStatusesMapByCallerAndPath)
{
    const auto identifierOutcome = [&](Reply reply) {
        platform.route("GET", "/api/platform/resolve", reply);
        return awaitOutcome(access.resolve(QStringLiteral("acme"), {}));
    };
    struct Row
    {
        const char* name;
        Reply reply;
        std::optional<CommandError> error; // none: the JSON reader's own error
    };
    const std::vector<Row> rows{
        {"404", Reply::empty(404), CommandError::invalidBrandIdentifier},
        {"403 identifier", Reply::json(R"({"error":"identifier_required"})", 403), CommandError::privateIdentifierRequired},
        {"403 other", Reply::json(R"({"error":"origin_blocked"})", 403), CommandError::unauthorizedOrigin},
        {"403 empty", Reply::empty(403), CommandError::unauthorizedOrigin},
        {"403 array", Reply::json(R"(["identifier_required"])", 403), CommandError::unauthorizedOrigin},
        {"503", Reply::empty(503), CommandError::accessConfigurationUnavailable},
        {"500", Reply::json("{}", 500), CommandError::invalidResponse},
        {"redirect nowhere", Reply::empty(302), CommandError::invalidResponse},
        {"200 array", Reply::json("[]"), CommandError::invalidResponse},
        {"200 not JSON", Reply::text("<html>"), std::nullopt},
        {"204", Reply::empty(204), std::nullopt},
    };
    for (const Row& row : rows) {
        const auto outcome = identifierOutcome(row.reply);
        if (row.error)
            EXPECT_EQ(outcome.commandError(), row.error) << row.name << ": " << errorName(outcome);
        else
            EXPECT_TRUE(outcome.threw<netkit::JsonError>()) << row.name << ": " << errorName(outcome);
    }

    platform.route("GET", "/api/platform/resolve", Reply::empty(404));
    EXPECT_EQ(awaitOutcome(access.resolve(panel, false, {})).commandError(), CommandError::invalidResponse)
        << "a 404 is the caller's error: the origin form's is invalidResponse";

    // The same statuses mean nothing special off the platform paths.
    for (const int status : {403, 503, 404}) {
        platform.route("GET", "/api/catalog/acme/manifest", Reply::empty(status));
        EXPECT_EQ(awaitOutcome(access.preparedCatalog("acme", 1, panel, false, {})).commandError(),
                  CommandError::invalidResponse)
            << status;
    }
    EXPECT_FALSE(platform.lastRequest("/api/platform/resolve")->header("Cache-Control"));
    EXPECT_EQ(platform.lastRequest("/api/catalog/acme/manifest")->header("Cache-Control"), std::string("no-cache"));
}

TEST_F(PanelAccessTest, IdentifierIsSentTrimmedAndLowerCased)
{
    platform.setIdentifierAnswer("acme-tv", FakePlatform::privateAnswer("acme", "acme-tv", {{"https://p.example", 1}}));
    const auto outcome = awaitOutcome(access.resolve(QStringLiteral("  Acme-TV\n"), {}));
    ASSERT_TRUE(outcome.value) << errorName(outcome);
    EXPECT_EQ(outcome.value->brand.name, QStringLiteral("Marca acme"));
    EXPECT_EQ(platform.lastRequest("/api/platform/resolve")->query, "identifier=acme-tv");

    const std::size_t before = platform.requestCount();
    EXPECT_EQ(awaitOutcome(access.resolve(QStringLiteral(" \n\t"), {})).commandError(),
              CommandError::invalidBrandIdentifier);
    EXPECT_EQ(platform.requestCount(), before);
}

TEST_F(PanelAccessTest, OriginResolutionDecidesWhetherTheSourceMayBeUsed)
{
    const QString origin = QStringLiteral("http://panel.example:8080");
    platform.setDefaultOriginAnswer(FakePlatform::freeAnswer());
    auto outcome = awaitOutcome(access.resolve(panel, true, {}));
    ASSERT_TRUE(outcome.value) << errorName(outcome);
    const auto sent = platform.lastRequest("/api/platform/resolve");
    EXPECT_EQ(sent->queryValue("origin"), origin.toStdString()) << "sent as its origin only";
    EXPECT_EQ(sent->queryValue("source"), std::string("playlist"));

    // A private brand is accepted whatever the origin (the deck moves the user onto the private road).
    platform.setDefaultOriginAnswer(FakePlatform::privateAnswer("acme", "acme-tv", {{"https://elsewhere.example", 1}}));
    EXPECT_TRUE(awaitOutcome(access.resolve(panel, false, {})).value);
    EXPECT_EQ(platform.lastRequest("/api/platform/resolve")->queryValue("source"), std::string("portal"));

    // The provider form admits its own server only, and never a playlist.
    platform.setDefaultOriginAnswer(FakePlatform::providerAnswer(origin, 1));
    EXPECT_TRUE(awaitOutcome(access.resolve(panel, false, {})).value);
    EXPECT_EQ(awaitOutcome(access.resolve(panel, true, {})).commandError(), CommandError::unauthorizedOrigin);
    platform.setDefaultOriginAnswer(FakePlatform::providerAnswer("http://other.example", 1));
    EXPECT_EQ(awaitOutcome(access.resolve(panel, false, {})).commandError(), CommandError::unauthorizedOrigin);
}

TEST_F(PanelAccessTest, AccessCodeIsCheckedLocallyThenByThePlatform)
{
    const BrandPresentation brand = [] {
        BrandPresentation b = BrandPresentation::neutral();
        b.slug = QStringLiteral("acme");
        return b;
    }();
    const QString user = QStringLiteral("ana+b&c");
    platform.acceptCode("acme", user.toStdString(), "0420");

    const auto accepted = awaitOutcome(access.validatePrivateAccess(brand, user, QStringLiteral(" 0420\n"), {}));
    EXPECT_TRUE(accepted.value) << errorName(accepted);
    const auto sent = platform.lastRequest("/api/platform/access/validate");
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->header("content-type"), std::string("application/json"));
    const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(sent->body)).object();
    EXPECT_EQ(body, (QJsonObject{{"brand", "acme"}, {"username", user}, {"code", "0420"}}));

    const std::size_t before = platform.requestCount();
    for (const char* code : {"042", "04200", "04a0", "04 0", "", "\u0660\u0664\u0662\u0660", "０４２０"})
        EXPECT_EQ(awaitOutcome(access.validatePrivateAccess(brand, user, QString::fromUtf8(code), {})).commandError(),
                  CommandError::invalidAccessCode)
            << code;
    EXPECT_EQ(platform.requestCount(), before) << "a malformed code never reaches the network";

    EXPECT_EQ(awaitOutcome(access.validatePrivateAccess(brand, user, "1111", {})).commandError(),
              CommandError::invalidAccessCode);
    const std::vector<std::pair<Reply, std::optional<CommandError>>> answers{
        {Reply::json(R"({"valid":"true"})"), CommandError::invalidAccessCode},
        {Reply::json(R"([true])"), CommandError::invalidAccessCode},
        {Reply::empty(401), CommandError::invalidAccessCode},
        {Reply::empty(503), CommandError::accessConfigurationUnavailable},
        {Reply::empty(500), CommandError::invalidResponse},
        {Reply::text("ok"), std::nullopt},
    };
    for (const auto& [reply, expected] : answers) {
        platform.route("POST", "/api/platform/access/validate", reply);
        const auto outcome = awaitOutcome(access.validatePrivateAccess(brand, user, "0420", {}));
        if (expected)
            EXPECT_EQ(outcome.commandError(), expected) << reply.status << " " << reply.body;
        else
            EXPECT_TRUE(outcome.threw<netkit::JsonError>());
    }
}

TEST_F(PanelAccessTest, ProviderAccessIsAQuestionWithARefusalForAnswer)
{
    BrandPresentation brand = BrandPresentation::neutral();
    platform.admitProvider("calvenor", "ana", "http://panel.example:8080");

    auto outcome = awaitOutcome(access.permitsPrivateProviderAccess(brand, "ana", panel, {}));
    EXPECT_EQ(outcome.value, true) << errorName(outcome);
    const QJsonObject body = QJsonDocument::fromJson(
        QByteArray::fromStdString(platform.lastRequest("/api/platform/access/validate")->body)).object();
    EXPECT_EQ(body, (QJsonObject{{"brand", "calvenor"}, {"username", "ana"}, {"authorization", "provider"},
                                 {"origin", "http://panel.example:8080"}}));
    EXPECT_EQ(awaitOutcome(access.permitsPrivateProviderAccess(brand, "bruno", panel, {})).value, false)
        << "a 403 is a refusal, not an error";

    const std::vector<std::pair<Reply, CommandError>> answers{
        {Reply::json(R"({"valid":true})"), CommandError::invalidResponse},
        {Reply::json(R"({"valid":true,"requiresCode":true})"), CommandError::invalidResponse},
        {Reply::json(R"({"valid":false,"requiresCode":false})"), CommandError::invalidResponse},
        {Reply::empty(503), CommandError::accessConfigurationUnavailable},
        {Reply::empty(500), CommandError::invalidResponse},
    };
    for (const auto& [reply, expected] : answers) {
        platform.route("POST", "/api/platform/access/validate", reply);
        EXPECT_EQ(awaitOutcome(access.permitsPrivateProviderAccess(brand, "ana", panel, {})).commandError(), expected)
            << reply.status << " " << reply.body;
    }
}

TEST_F(PanelAccessTest, TimeOutsAndCancellationPassThroughUnchanged)
{
    platform.route("GET", "/api/platform/resolve", Reply::json("{}").hangingAfterHeaders());
    const auto hung = awaitOutcome(access.resolve(QStringLiteral("acme"), {}));
    ASSERT_TRUE(hung.threw<netkit::HttpError>());
    try {
        std::rethrow_exception(hung.error);
    } catch (const netkit::HttpError& error) {
        EXPECT_EQ(error.kind(), netkit::HttpError::Kind::TimedOut);
    }

    platform.route("POST", "/api/platform/access/validate", Reply::json("{}").held());
    netkit::CancelToken token;
    QTimer::singleShot(50, [token] { token.cancel(); });
    EXPECT_TRUE(awaitOutcome(access.validatePrivateAccess(BrandPresentation::neutral(), "ana", "1234", token))
                    .threw<netkit::Cancelled>());
    platform.release();
}
