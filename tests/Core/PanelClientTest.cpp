#include "OrrinthCore/PanelClient.h"

#include "Await.h"
#include "RecordingTransport.h"

#include <QCoro/QCoroTask>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace orrinth;
using coretest::answer;

namespace {

struct PanelClientTest : ::testing::Test
{
    std::shared_ptr<coretest::RecordingTransport> transport = std::make_shared<coretest::RecordingTransport>();
    PanelClient client{QUrl(QStringLiteral("https://catalog.test/base")), QUrl(QStringLiteral("https://access.test")),
                       transport};

    template <typename T>
    PanelError refusal(QCoro::Task<T> task)
    {
        try {
            coretest::await(std::move(task));
        } catch (const PanelFailure &failure) {
            return failure.error();
        }
        ADD_FAILURE() << "the call did not fail with a PanelError";
        return PanelError::invalidResponse;
    }

    QString query(const char *key, const char *item) const
    {
        return QUrlQuery(transport->lastRequest(QString::fromLatin1(key))->url)
            .queryItemValue(QString::fromLatin1(item), QUrl::FullyDecoded);
    }
};

const BrandServer server(1, QUrl(QStringLiteral("http://panel.example:8080/c/d?x=1")), true, std::nullopt, {});

CatalogManifest manifest(SectionCounts counts = {{QStringLiteral("movies"), 1}}, SectionCounts protectedCounts = {})
{
    return CatalogManifest(QStringLiteral("orrinth"), 1, QUrl(QStringLiteral("http://panel.example:8080")), 7,
                           QStringLiteral("2024-05-01T10:00:00Z"), std::move(counts), std::move(protectedCounts));
}

const char *resolutionBody = R"({"schemaVersion":4,"brand":{"slug":"orrinth","identifier":"Orr-Id","name":"O",
    "accessMode":"private"},"allowAnyServer":false,"useBrandPresentation":true,"allowedOrigins":[],
    "platform":{"slug":"calvenor","accessMode":"private","version":1}})";

} // namespace

TEST_F(PanelClientTest, ConfigurationChecksAndRefusals)
{
    transport->on(QStringLiteral("/config"),
                  answer(R"({"brand":{"id":"orrinth"},"allowAnyServer":true})"));
    EXPECT_TRUE(coretest::await(client.configuration(QStringLiteral("orrinth"))).freeMode());
    const netkit::HttpRequest &sent = transport->requests.last();
    EXPECT_EQ(sent.url.toEncoded(), "https://catalog.test/base/api/brands/orrinth/config");
    EXPECT_EQ(sent.cache, netkit::HttpRequest::Cache::Fresh);
    EXPECT_EQ(sent.idleTimeout, std::chrono::seconds(15));

    EXPECT_EQ(refusal(client.configuration(QStringLiteral("Orrinth"))), PanelError::invalidResponse)
        << "the slug must match the requested brand exactly";
    transport->on(QStringLiteral("/config"),
                  answer(R"({"brand":{"id":"orrinth"},"enabled":false,"emergencyLock":true})"));
    EXPECT_EQ(refusal(client.configuration(QStringLiteral("orrinth"))), PanelError::disabled);
    transport->on(QStringLiteral("/config"), answer(R"({"brand":{"id":"orrinth"},"emergencyLock":true})"));
    EXPECT_EQ(refusal(client.configuration(QStringLiteral("orrinth"))), PanelError::locked);
    transport->on(QStringLiteral("/config"), answer(R"({"brand":{"id":"orrinth"},"schemaVersion":0})"));
    EXPECT_EQ(refusal(client.configuration(QStringLiteral("orrinth"))), PanelError::invalidResponse);
    transport->on(QStringLiteral("/config"),
                  answer(R"({"brand":{"id":"orrinth"},"allowedOrigins":[{"slot":1,"origin":"http://a","active":false}]})"));
    EXPECT_EQ(refusal(client.configuration(QStringLiteral("orrinth"))), PanelError::noAvailableServer);
    transport->on(QStringLiteral("/config"), answer(R"({"brand":{"id":"orrinth"}})", 500));
    EXPECT_EQ(refusal(client.configuration(QStringLiteral("orrinth"))), PanelError::invalidResponse);
    transport->on(QStringLiteral("/config"), answer("{}", 0));
    EXPECT_EQ(refusal(client.configuration(QStringLiteral("orrinth"))), PanelError::invalidResponse)
        << "an answer that is not an HTTP answer";
    transport->on(QStringLiteral("/config"), answer("<html>"));
    EXPECT_THROW(coretest::await(client.configuration(QStringLiteral("orrinth"))), DecodingError);
}

TEST_F(PanelClientTest, BrandIsOnePathSegment)
{
    transport->on(QStringLiteral("/config"), answer(R"({"brand":{"id":"a/b"},"allowAnyServer":true})"));
    coretest::await(client.configuration(QStringLiteral("a/b")));
    EXPECT_EQ(transport->requests.last().url.toEncoded(), "https://catalog.test/base/api/brands/a%2Fb/config");

    const qsizetype sent = transport->requests.size();
    EXPECT_EQ(refusal(client.configuration(QStringLiteral(".."))), PanelError::invalidResponse);
    EXPECT_EQ(refusal(client.manifest(QStringLiteral("."), server)), PanelError::invalidResponse);
    EXPECT_EQ(transport->requests.size(), sent) << "nothing is sent for a brand that cannot be a segment";
}

TEST_F(PanelClientTest, ResolutionNormalisesTheIdentifierAndMapsStatuses)
{
    EXPECT_EQ(refusal(client.resolvePrivateBrand(QStringLiteral(" \n "))), PanelError::invalidBrandIdentifier);
    EXPECT_TRUE(transport->requests.isEmpty());

    transport->on(QStringLiteral("/resolve"), answer(resolutionBody));
    const auto resolution = coretest::await(client.resolvePrivateBrand(QStringLiteral("  ORR-ID\n")));
    EXPECT_EQ(resolution.brand().slug(), QStringLiteral("orrinth"));
    EXPECT_EQ(transport->requests.last().url.host(), QStringLiteral("access.test"));
    EXPECT_EQ(transport->requests.last().url.path(), QStringLiteral("/api/platform/resolve"));
    EXPECT_EQ(query("/resolve", "identifier"), QStringLiteral("orr-id"));

    transport->on(QStringLiteral("/resolve"), answer(resolutionBody, 403));
    EXPECT_EQ(refusal(client.resolvePrivateBrand(QStringLiteral("orr-id"))), PanelError::privateIdentifierRequired);
    transport->on(QStringLiteral("/resolve"), answer("", 404));
    EXPECT_EQ(refusal(client.resolvePrivateBrand(QStringLiteral("orr-id"))), PanelError::invalidBrandIdentifier);
    transport->on(QStringLiteral("/resolve"), answer(resolutionBody, 500));
    EXPECT_EQ(refusal(client.resolvePrivateBrand(QStringLiteral("orr-id"))), PanelError::invalidResponse);
    transport->on(QStringLiteral("/resolve"), answer(resolutionBody));
    EXPECT_EQ(refusal(client.resolvePrivateBrand(QStringLiteral("other"))), PanelError::invalidResponse);
    QByteArray wrongPlatform(resolutionBody);
    wrongPlatform.replace("\"calvenor\"", "\"Calvenor\"");
    transport->on(QStringLiteral("/resolve"), answer(wrongPlatform));
    EXPECT_EQ(refusal(client.resolvePrivateBrand(QStringLiteral("orr-id"))), PanelError::invalidResponse);
}

TEST_F(PanelClientTest, ManifestChecks)
{
    const auto body = [](const char *fields) {
        return QByteArray(R"({"client":"orrinth","counts":{},"protectedCounts":{},)") + fields + "}";
    };
    transport->on(QStringLiteral("/manifest"),
                  answer(body(R"("serverSlot":1,"origin":"http://panel.example:8080/other","version":7,"generatedAt":"g")")));
    EXPECT_EQ(coretest::await(client.manifest(QStringLiteral("orrinth"), server)).version(), 7)
        << "origins that differ only in path are the same";
    EXPECT_EQ(query("/manifest", "serverSlot"), QStringLiteral("1"));
    EXPECT_EQ(query("/manifest", "origin"), QStringLiteral("http://panel.example:8080"));

    for (const char *fields : {R"("serverSlot":1,"origin":"http://panel.example:8080","version":0,"generatedAt":"g")",
                               R"("serverSlot":1,"origin":"http://panel.example:8080","version":7,"generatedAt":"")",
                               R"("serverSlot":2,"origin":"http://panel.example:8080","version":7,"generatedAt":"g")",
                               R"("serverSlot":1,"origin":"http://panel.example:9090","version":7,"generatedAt":"g")"}) {
        transport->on(QStringLiteral("/manifest"), answer(body(fields)));
        EXPECT_EQ(refusal(client.manifest(QStringLiteral("orrinth"), server)), PanelError::invalidResponse) << fields;
    }
}

TEST_F(PanelClientTest, SectionsAreCheckedAgainstTheManifest)
{
    const QByteArray oneFilm = R"({"version":7,"items":[{"id":"1","name":"Uno"}]})";
    transport->on(QStringLiteral("/movies"), answer(oneFilm));
    const auto section = coretest::await(
        client.catalog(QStringLiteral("orrinth"), server, manifest(), ContentKind::movie, false));
    EXPECT_EQ(section.items().size(), 1);
    const netkit::HttpRequest &sent = transport->requests.last();
    EXPECT_EQ(sent.url.path(), QStringLiteral("/base/api/catalog/orrinth/movies"));
    EXPECT_EQ(QUrlQuery(sent.url).toString(QUrl::FullyDecoded),
              QStringLiteral("serverSlot=1&origin=http://panel.example:8080&version=7&generation=2024-05-01T10:00:00Z"))
        << "no catalogMode item at all for the ordinary form";

    EXPECT_EQ(refusal(client.catalog(QStringLiteral("orrinth"), server, manifest({}), ContentKind::movie, false)),
              PanelError::invalidResponse)
        << "without a count for the kind only an empty section passes";
    EXPECT_EQ(refusal(client.catalog(QStringLiteral("orrinth"), server, manifest(), ContentKind::movie, true)),
              PanelError::invalidResponse)
        << "the protected form is checked against the protected counts";
    coretest::await(client.catalog(QStringLiteral("orrinth"), server, manifest({}, {{QStringLiteral("movies"), 1}}),
                                  ContentKind::movie, true));
    EXPECT_EQ(query("/movies", "catalogMode"), QStringLiteral("protected"));

    transport->on(QStringLiteral("/tv"), answer(R"({"items":[]})"));
    EXPECT_EQ(refusal(client.catalog(QStringLiteral("orrinth"), server, manifest(), ContentKind::live, false)),
              PanelError::invalidResponse)
        << "a section without a version";
    transport->on(QStringLiteral("/tv"), answer(R"({"version":7,"items":[{"id":"1"}]})"));
    EXPECT_THROW(coretest::await(client.catalog(QStringLiteral("orrinth"), server, manifest(), ContentKind::live, false)),
                 DecodingError);

    transport->on(QStringLiteral("/home"), answer(R"({"version":6,"rows":[]})"));
    EXPECT_EQ(refusal(client.homeCatalog(QStringLiteral("orrinth"), server, manifest(), false)),
              PanelError::invalidResponse);
    transport->on(QStringLiteral("/home"), answer(R"({"version":7,"rows":[]})"));
    EXPECT_EQ(coretest::await(client.homeCatalog(QStringLiteral("orrinth"), server, manifest(), false)).version(), 7);
}

TEST_F(PanelClientTest, AccessValidation)
{
    transport->on(QStringLiteral("/validate"), answer(R"({"valid":true})"));
    coretest::await(client.validatePrivateAccess(QStringLiteral("orrinth"), QStringLiteral(" Ana "),
                                                QStringLiteral(" 0427\n")));
    const netkit::HttpRequest &sent = transport->requests.last();
    EXPECT_EQ(sent.method, netkit::HttpRequest::Method::Post);
    EXPECT_EQ(sent.url.path(), QStringLiteral("/base/api/access/validate"));
    EXPECT_NE(sent.cache, netkit::HttpRequest::Cache::Fresh) << "no cache-control header on the POST";
    EXPECT_EQ(sent.headers, (QList<netkit::HttpHeader>{{"content-type", "application/json"}}));
    EXPECT_EQ(QJsonDocument::fromJson(sent.body).object(),
              (QJsonObject{{"brand", "orrinth"}, {"username", "ana"}, {"code", "0427"}}));

    const qsizetype sentCount = transport->requests.size();
    for (const QString &code : {QStringLiteral("123"), QStringLiteral("12345"), QStringLiteral("12a4"), QString(),
                                QStringLiteral("١٢٣٤")})
        EXPECT_EQ(refusal(client.validatePrivateAccess(QStringLiteral("orrinth"), QStringLiteral("ana"), code)),
                  PanelError::invalidAccessCode)
            << code.toStdString();
    EXPECT_EQ(refusal(client.validatePrivateAccess(QStringLiteral("orrinth"), QStringLiteral("  "),
                                                   QStringLiteral("1234"))),
              PanelError::invalidAccessCode);
    EXPECT_EQ(refusal(client.validatePrivateAccess(QString(), QStringLiteral("ana"), QStringLiteral("1234"))),
              PanelError::invalidAccessCode);
    EXPECT_EQ(transport->requests.size(), sentCount);

    for (const char *body : {R"({"valid":false})", R"({"ok":true})", R"([true])", R"({"valid":"true"})"}) {
        transport->on(QStringLiteral("/validate"), answer(body));
        EXPECT_EQ(refusal(client.validatePrivateAccess(QStringLiteral("orrinth"), QStringLiteral("ana"),
                                                       QStringLiteral("1234"))),
                  PanelError::invalidResponse)
            << body;
    }
    transport->on(QStringLiteral("/validate"), answer(R"({"valid":true})", 401));
    EXPECT_EQ(refusal(client.validatePrivateAccess(QStringLiteral("orrinth"), QStringLiteral("ana"),
                                                   QStringLiteral("1234"))),
              PanelError::invalidAccessCode);
}

TEST_F(PanelClientTest, TransportFailuresAndCancellationPassThrough)
{
    transport->on(QStringLiteral("/config"), coretest::failure(netkit::HttpError::Kind::TimedOut));
    try {
        coretest::await(client.configuration(QStringLiteral("orrinth")));
        ADD_FAILURE() << "no failure";
    } catch (const netkit::HttpError &error) {
        EXPECT_EQ(error.kind(), netkit::HttpError::Kind::TimedOut);
    }

    transport->on(QStringLiteral("/config"), coretest::held());
    netkit::CancelToken token;
    auto task = client.configuration(QStringLiteral("orrinth"), token);
    token.cancel();
    EXPECT_THROW(coretest::await(std::move(task)), netkit::Cancelled);
}
