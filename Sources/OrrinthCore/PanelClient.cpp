#include "OrrinthCore/PanelClient.h"

#include "OrrinthCore/AccessFlowPolicy.h"
#include "OrrinthCore/Addresses.h"
#include "NetKit/InBackground.h"
#include "OrrinthCore/JsonDecoding.h"
#include "NetKit/UrlCodec.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>

namespace orrinth {

namespace {

using namespace std::chrono_literals;
using netkit::HttpRequest;
using netkit::HttpResponse;
using netkit::QueryItem;

[[noreturn]] void refuse(PanelError error)
{
    throw PanelFailure(error);
}

// The brand is one path segment: a "/" or ".." in it must not reach another endpoint of the service.
QByteArray brandSegment(const QString &brand)
{
    const auto segment = netkit::encodePathSegment(brand);
    if (!segment)
        refuse(PanelError::invalidResponse);
    return *segment;
}

QUrl endpoint(const QUrl &base, const QByteArray &path, const QList<QueryItem> &query = {})
{
    if (!base.isValid())
        refuse(PanelError::invalidResponse);
    const QUrl url = netkit::withQuery(netkit::appendingPath(base, path), query);
    if (!url.isValid())
        refuse(PanelError::invalidResponse);
    return url;
}

HttpRequest getRequest(QUrl url, std::chrono::milliseconds timeout)
{
    HttpRequest request;
    request.url = std::move(url);
    request.cache = HttpRequest::Cache::Fresh;
    request.idleTimeout = timeout;
    return request;
}

void requireSuccess(const HttpResponse &response)
{
    if (!response.isSuccess())
        refuse(PanelError::invalidResponse);
}

QString originText(const BrandServer &server)
{
    return QString::fromUtf8(PanelClient::normalized(server.origin()).toEncoded());
}

QList<QueryItem> catalogQuery(const BrandServer &server, const CatalogManifest &manifest, bool protectedCatalog)
{
    QList<QueryItem> query{
        {QStringLiteral("serverSlot"), QString::number(server.slot())},
        {QStringLiteral("origin"), originText(server)},
        {QStringLiteral("version"), QString::number(manifest.version())},
        {QStringLiteral("generation"), manifest.generatedAt()},
    };
    if (protectedCatalog)
        query.append({QStringLiteral("catalogMode"), QStringLiteral("protected")});
    return query;
}

// Statuses that an operation maps to its own refusals before the 2xx check.
using StatusRefusals = QList<std::pair<int, PanelError>>;

// One request whose 2xx body is read as one record, off the event loop: prepared sections can be large.
// Callers keep braces and lambdas out of their co_await expressions: g++ 12 destroys such temporaries twice.
template <typename Record>
QCoro::Task<Record> fetchRecord(std::shared_ptr<HttpTransport> transport, HttpRequest request,
                                Record (*read)(json::Element), StatusRefusals refusals, netkit::CancelToken token)
{
    const HttpResponse response = co_await exchange(std::move(transport), std::move(request), token);
    for (const auto &[status, error] : refusals) {
        if (response.status == status)
            refuse(error);
    }
    requireSuccess(response);
    auto decode = [body = response.body, read] { return json::decodeDocument(body, read); };
    co_return co_await netkit::inBackground(std::move(decode), token);
}

// Exactly four ASCII digits: other Unicode digits are not part of an access code.
bool isAccessCode(const QString &code)
{
    return code.size() == 4 && std::ranges::all_of(code, [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

PanelClient::PanelClient(QUrl baseURL, QUrl accessBaseURL, std::shared_ptr<HttpTransport> transport)
    : m_transport(std::move(transport))
    , m_baseURL(std::move(baseURL))
    , m_accessBaseURL(std::move(accessBaseURL))
{
}

QUrl PanelClient::normalized(const QUrl &url)
{
    return normalizedAddress(url);
}

QCoro::Task<BrandConfiguration> PanelClient::configuration(QString brand, netkit::CancelToken token)
{
    HttpRequest request = getRequest(endpoint(m_baseURL, "api/brands/" + brandSegment(brand) + "/config"), 15s);
    BrandConfiguration configuration =
        co_await fetchRecord(m_transport, std::move(request), json::brandConfigurationFrom, StatusRefusals(), token);
    if (configuration.schemaVersion() < 1 || configuration.slug() != brand)
        refuse(PanelError::invalidResponse);
    if (!configuration.enabled())
        refuse(PanelError::disabled);
    if (configuration.emergencyLock())
        refuse(PanelError::locked);
    if (!configuration.freeMode()
        && std::ranges::none_of(configuration.allowedOrigins(), [](const BrandServer &s) { return s.active(); }))
        refuse(PanelError::noAvailableServer);
    co_return configuration;
}

QCoro::Task<BrandResolution> PanelClient::resolvePrivateBrand(QString identifier, netkit::CancelToken token)
{
    const QString normalizedID = normalizedIdentifier(identifier);
    if (normalizedID.isEmpty())
        refuse(PanelError::invalidBrandIdentifier);
    HttpRequest request =
        getRequest(endpoint(m_accessBaseURL, "api/platform/resolve", {{QStringLiteral("identifier"), normalizedID}}),
                   20s);
    const StatusRefusals refusals{{404, PanelError::invalidBrandIdentifier},
                                  {403, PanelError::privateIdentifierRequired}};
    BrandResolution resolution =
        co_await fetchRecord(m_transport, std::move(request), json::brandResolutionFrom, refusals, token);
    if (!isSupportedResolutionSchema(resolution.schemaVersion())
        || resolution.platform().slug() != makerPlatformSlug()
        || resolution.brand().identifier().toLower() != normalizedID)
        refuse(PanelError::invalidResponse);
    co_return resolution;
}

QCoro::Task<CatalogManifest> PanelClient::manifest(QString brand, BrandServer server, netkit::CancelToken token)
{
    HttpRequest request = getRequest(endpoint(m_baseURL, "api/catalog/" + brandSegment(brand) + "/manifest",
                                              {{QStringLiteral("serverSlot"), QString::number(server.slot())},
                                               {QStringLiteral("origin"), originText(server)}}),
                                     10s);
    CatalogManifest manifest =
        co_await fetchRecord(m_transport, std::move(request), json::catalogManifestFrom, StatusRefusals(), token);
    if (manifest.client() != brand || manifest.serverSlot() != server.slot() || manifest.version() <= 0
        || normalized(manifest.origin()).toEncoded() != normalized(server.origin()).toEncoded()
        || manifest.generatedAt().isEmpty())
        refuse(PanelError::invalidResponse);
    co_return manifest;
}

QCoro::Task<CatalogSection> PanelClient::catalog(QString brand, BrandServer server, CatalogManifest manifest,
                                                 ContentKind kind, bool protectedCatalog, netkit::CancelToken token)
{
    HttpRequest request =
        getRequest(endpoint(m_baseURL, "api/catalog/" + brandSegment(brand) + '/' + rawValue(kind).toLatin1(),
                            catalogQuery(server, manifest, protectedCatalog)),
                   15s);
    request.boundAsLargeList();
    CatalogSection section =
        co_await fetchRecord(m_transport, std::move(request), json::catalogSectionFrom, StatusRefusals(), token);
    const SectionCounts &counts = protectedCatalog ? manifest.protectedCounts() : manifest.counts();
    if (section.version() != manifest.version() || section.items().size() != counts.value(rawValue(kind), 0))
        refuse(PanelError::invalidResponse);
    co_return section;
}

QCoro::Task<HomeCatalog> PanelClient::homeCatalog(QString brand, BrandServer server, CatalogManifest manifest,
                                                  bool protectedCatalog, netkit::CancelToken token)
{
    HttpRequest request = getRequest(endpoint(m_baseURL, "api/catalog/" + brandSegment(brand) + "/home",
                                              catalogQuery(server, manifest, protectedCatalog)),
                                     10s);
    HomeCatalog home =
        co_await fetchRecord(m_transport, std::move(request), json::homeCatalogFrom, StatusRefusals(), token);
    if (home.version() != manifest.version())
        refuse(PanelError::invalidResponse);
    co_return home;
}

QCoro::Task<void> PanelClient::validatePrivateAccess(QString brand, QString username, QString code,
                                                     netkit::CancelToken token)
{
    const QString user = normalizedIdentifier(username);
    const QString digits = code.trimmed();
    if (brand.isEmpty() || user.isEmpty() || !isAccessCode(digits))
        refuse(PanelError::invalidAccessCode);
    HttpRequest request;
    request.method = HttpRequest::Method::Post;
    request.url = endpoint(m_baseURL, "api/access/validate");
    request.cache = HttpRequest::Cache::IgnoreLocal;
    request.idleTimeout = 20s;
    request.headers = {{"content-type", "application/json"}};
    request.body = QJsonDocument(QJsonObject{{QStringLiteral("brand"), brand},
                                             {QStringLiteral("username"), user},
                                             {QStringLiteral("code"), digits}})
                       .toJson(QJsonDocument::Compact);
    const HttpResponse response = co_await exchange(m_transport, std::move(request), token);
    if (response.status == 400 || response.status == 401 || response.status == 403)
        refuse(PanelError::invalidAccessCode);
    requireSuccess(response);
    const netkit::JsonDocument document = json::parseDocument(response.body);
    const auto answer = netkit::json::object(document.root());
    if (!answer || netkit::json::boolean((*answer)["valid"]) != true)
        refuse(PanelError::invalidResponse);
}

} // namespace orrinth
