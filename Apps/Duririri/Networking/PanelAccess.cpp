#include "Networking/PanelAccess.h"

#include "Domain/OriginNormalization.h"
#include "NetKit/InBackground.h"
#include "Networking/BodyFeed.h"
#include "Networking/BrandResolutionReader.h"
#include "Networking/PlatformRequests.h"
#include "Networking/PreparedCatalogReader.h"
#include "NetKit/Join.h"
#include "NetKit/NetLog.h"
#include "NetKit/UrlCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace sendra {

using namespace platform;
using netkit::CancelToken;
using netkit::HttpSession;

namespace {

const QByteArray resolvePath = "api/platform/resolve";
const QByteArray validatePath = "api/platform/access/validate";

// A task that fails at once: bad arguments are reported like any other failure, through the task.
template<class T>
QCoro::Task<T> rejected(CommandError error)
{
    fail(error);
    if constexpr (std::is_void_v<T>)
        co_return;
    else
        co_return T{};
}

bool isFourDigitCode(const QString& code)
{
    return code.size() == 4
           && std::all_of(code.begin(), code.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QCoro::Task<BrandResolution> fetchResolution(HttpSession session, QUrl url, CommandError notFound,
                                             std::chrono::milliseconds timeout, CancelToken token)
{
    const ObjectDocument answer = co_await dictionary(std::move(session), url, notFound, false, timeout, token);
    co_return readBrandResolution(answer.object, url);
}

QCoro::Task<BrandResolution> resolveOrigin(HttpSession session, QUrl url, QUrl origin, bool playlist,
                                           std::chrono::milliseconds timeout, CancelToken token)
{
    BrandResolution resolution =
        co_await fetchResolution(std::move(session), std::move(url), CommandError::invalidResponse, timeout, token);
    if (!resolution.rules.acceptsAnyOrigin && !resolution.brand.privateAccess
        && !resolution.permitsProviderAuthentication(origin, playlist))
        fail(CommandError::unauthorizedOrigin);
    co_return resolution;
}

// The status of a validation answer mapped as both validation questions share it; the JSON object of a 2xx answer.
enum class Verdict { refused, answered };

QCoro::Task<std::pair<Verdict, netkit::JsonDocument>> postValidation(HttpSession session, QUrl url, QByteArray body,
                                                                     std::chrono::milliseconds timeout,
                                                                     CancelToken token)
{
    netkit::HttpRequest request;
    request.method = netkit::HttpRequest::Method::Post;
    request.url = std::move(url);
    request.idleTimeout = timeout;
    request.cache = netkit::HttpRequest::Cache::IgnoreLocal;
    request.headers.append(netkit::HttpHeader("content-type", "application/json"));
    request.body = std::move(body);
    const netkit::HttpResponse response = co_await session.send(std::move(request), token);

    if (response.status == 0)
        fail(CommandError::invalidResponse);
    if (response.status == 401 || response.status == 403)
        co_return std::pair{Verdict::refused, netkit::JsonDocument()};
    if (response.status == 503)
        fail(CommandError::accessConfigurationUnavailable);
    if (!response.isSuccess())
        fail(CommandError::invalidResponse);
    co_return std::pair{Verdict::answered, netkit::JsonDocument::parse(response.body)};
}

QCoro::Task<void> validateCode(HttpSession session, QUrl url, QByteArray body, std::chrono::milliseconds timeout,
                               CancelToken token)
{
    const auto [verdict, answer] = co_await postValidation(std::move(session), std::move(url), std::move(body),
                                                           timeout, token);
    if (verdict == Verdict::refused)
        fail(CommandError::invalidAccessCode);
    const auto fields = netkit::json::object(answer.root());
    if (!fields || netkit::json::boolean((*fields)["valid"]) != true)
        fail(CommandError::invalidAccessCode);
}

QCoro::Task<bool> askProviderAccess(HttpSession session, QUrl url, QByteArray body,
                                    std::chrono::milliseconds timeout, CancelToken token)
{
    const auto [verdict, answer] = co_await postValidation(std::move(session), std::move(url), std::move(body),
                                                           timeout, token);
    if (verdict == Verdict::refused)
        co_return false;
    const auto fields = netkit::json::object(answer.root());
    if (!fields || netkit::json::boolean((*fields)["valid"]) != true
        || netkit::json::boolean((*fields)["requiresCode"]) != false)
        fail(CommandError::invalidResponse);
    co_return true;
}

// Everything a prepared catalogue load needs, copied so the load outlives its client harmlessly.
struct CatalogRequest
{
    HttpSession session;
    QUrl endpoint;
    PanelAccess::Timeouts timeouts;
    QString brand;
    int slot = 0;
    QUrl origin;
    bool protectedBuild = false;
};

QUrl manifestURL(const CatalogRequest& request)
{
    const QByteArray path = "api/catalog/" + *netkit::encodePathSegment(request.brand) + "/manifest";
    return netkit::withQuery(netkit::appendingPath(request.endpoint, path),
                             {{"serverSlot", QString::number(request.slot)}, {"origin", originText(request.origin)}});
}

QUrl catalogURL(const CatalogRequest& request, const QString& document, const CatalogIdentity& identity)
{
    const QByteArray path = "api/catalog/" + *netkit::encodePathSegment(identity.brand) + "/"
                            + *netkit::encodePathSegment(document);
    QList<netkit::QueryItem> query{{"serverSlot", QString::number(identity.slot)},
                                   {"origin", originText(identity.origin)},
                                   {"version", QString::number(identity.version)},
                                   {"generation", identity.generation}};
    if (identity.protectedBuild)
        query.append(netkit::QueryItem("catalogMode", "protected"));
    return netkit::withQuery(netkit::appendingPath(request.endpoint, path), query);
}

QCoro::Task<CatalogIdentity> catalogIdentity(CatalogRequest request, CancelToken token)
{
    const ObjectDocument manifest = co_await dictionary(request.session, manifestURL(request),
                                                        CommandError::invalidResponse, true,
                                                        request.timeouts.manifest, token);
    co_return readManifest(manifest.object, request.brand, request.slot, request.origin, request.protectedBuild);
}

// One section, read on a worker while it arrives (see SectionReader): the body is never held whole.
QCoro::Task<NodeTable> preparedSection(CatalogRequest request, CatalogIdentity identity, SignalKind kind,
                                       CancelToken token)
{
    if (identity.count(kind) <= 0)
        co_return NodeTable();
    const QUrl document = catalogURL(request, storedValue(kind), identity);
    auto reader = std::make_shared<SectionReader>(identity, kind, document);
    auto table = std::make_shared<NodeTable>();
    netkit::HttpRequest fetch;
    fetch.url = document;
    fetch.idleTimeout = request.timeouts.section;
    fetch.cache = netkit::HttpRequest::Cache::Fresh;
    fetch.boundAsLargeList();
    // A section's address is no platform path: any status but a 2xx, whatever its body, is a wrong answer.
    auto read = [reader](QByteArray chunk, qint64 declaredLength) { reader->push(std::move(chunk), declaredLength); };
    auto end = [reader, table] { *table = reader->finish(); };
    co_await readWhileArriving(request.session, std::move(fetch), std::move(read), std::move(end), token);
    co_return std::move(*table);
}

QCoro::Task<std::optional<CommandFeed>> preparedFeed(CatalogRequest request, CatalogIdentity identity,
                                                     CancelToken token)
{
    // The feed is optional: any failure leaves the catalogue without one.
    try {
        const QUrl document = catalogURL(request, "home", identity);
        const ObjectDocument home = co_await dictionary(request.session, document, CommandError::invalidResponse,
                                                        true, request.timeouts.home, token);
        co_return readHome(home.object, identity, document);
    } catch (...) {
        if (!token.isCancelled())
            qCWarning(netkit::netLog, "Sendra: the prepared catalogue's home could not be read; it is shown without");
        co_return std::nullopt;
    }
}

QCoro::Task<LoadedCatalog> loadPreparedCatalog(CatalogRequest request, CancelToken token)
{
    const CatalogIdentity identity = co_await catalogIdentity(request, token);
    const auto section = [request, identity](SignalKind kind) {
        return [request, identity, kind](CancelToken child) {
            return preparedSection(request, identity, kind, std::move(child));
        };
    };
    // Named children: no lambda temporaries inside the co_await expression (g++ 12 destroys them twice).
    const auto liveSection = section(SignalKind::broadcast);
    const auto filmSection = section(SignalKind::cinema);
    const auto seriesSection = section(SignalKind::episodic);
    const auto home = [request, identity](CancelToken child) { return preparedFeed(request, identity, std::move(child)); };
    auto [live, films, series, feed] = co_await netkit::joinAll(token, liveSection, filmSection, seriesSection, home);
    netkit::throwIfCancelled(token);

    const CatalogIdentity again = co_await catalogIdentity(request, token);
    LoadedCatalog catalog;
    auto join = [live = std::move(live), films = std::move(films), series = std::move(series)]() mutable {
        live.append(std::move(films));
        live.append(std::move(series));
        return std::move(live);
    };
    catalog.nodes = co_await netkit::inBackground(std::move(join), token);
    if (again != identity || catalog.nodes.isEmpty())
        fail(CommandError::invalidResponse);
    catalog.feed = std::move(feed);
    catalog.preparedVersion = identity.version;
    co_return catalog;
}

// Lower-case ASCII letters, digits and hyphens: the only brand slugs that may enter a catalogue path.
bool isCatalogSlug(const QString& brand)
{
    static const QRegularExpression slug(QStringLiteral("^[a-z0-9-]+$"));
    return slug.match(brand).hasMatch();
}

} // namespace

PanelAccess::PanelAccess(HttpSession session)
    : PanelAccess(std::move(session), PlatformEndpoints::builtIn())
{
}

PanelAccess::PanelAccess(HttpSession session, PlatformEndpoints endpoints, Timeouts timeouts)
    : m_session(std::move(session))
    , m_endpoints(std::move(endpoints))
    , m_timeouts(timeouts)
{
}

QUrl PanelAccess::normalized(const QUrl& address)
{
    return normalizedOrigin(address);
}

QCoro::Task<BrandResolution> PanelAccess::resolve(const QString& identifier, CancelToken token) const
{
    const QString wanted = identifier.trimmed().toLower();
    if (wanted.isEmpty())
        return rejected<BrandResolution>(CommandError::invalidBrandIdentifier);
    const QUrl url = netkit::withQuery(netkit::appendingPath(m_endpoints.access, resolvePath), {{"identifier", wanted}});
    return fetchResolution(m_session, url, CommandError::invalidBrandIdentifier, m_timeouts.resolve, std::move(token));
}

QCoro::Task<BrandResolution> PanelAccess::resolve(const QUrl& origin, bool playlist, CancelToken token) const
{
    const QUrl url = netkit::withQuery(
        netkit::appendingPath(m_endpoints.access, resolvePath),
        {{"origin", originText(origin)}, {"source", playlist ? QStringLiteral("playlist") : QStringLiteral("portal")}});
    return resolveOrigin(m_session, url, origin, playlist, m_timeouts.resolve, std::move(token));
}

QCoro::Task<void> PanelAccess::validatePrivateAccess(const BrandPresentation& brand, const QString& username,
                                                     const QString& code, CancelToken token) const
{
    const QString trimmed = code.trimmed();
    if (!isFourDigitCode(trimmed))
        return rejected<void>(CommandError::invalidAccessCode);
    const QJsonObject body{{"brand", brand.slug}, {"username", username}, {"code", trimmed}};
    return validateCode(m_session, netkit::appendingPath(m_endpoints.access, validatePath),
                        QJsonDocument(body).toJson(QJsonDocument::Compact), m_timeouts.validate, std::move(token));
}

QCoro::Task<bool> PanelAccess::permitsPrivateProviderAccess(const BrandPresentation& brand, const QString& username,
                                                            const QUrl& origin, CancelToken token) const
{
    const QJsonObject body{{"brand", brand.slug},
                           {"username", username},
                           {"authorization", "provider"},
                           {"origin", originText(origin)}};
    return askProviderAccess(m_session, netkit::appendingPath(m_endpoints.access, validatePath),
                             QJsonDocument(body).toJson(QJsonDocument::Compact), m_timeouts.validate,
                             std::move(token));
}

QCoro::Task<LoadedCatalog> PanelAccess::preparedCatalog(const QString& brand, int slot, const QUrl& origin,
                                                        bool protectedBuild, CancelToken token) const
{
    if (slot < 1 || slot > 5 || !isCatalogSlug(brand))
        return rejected<LoadedCatalog>(CommandError::invalidResponse);
    return loadPreparedCatalog({m_session, m_endpoints.catalog, m_timeouts, brand, slot, origin, protectedBuild},
                               std::move(token));
}

} // namespace sendra
