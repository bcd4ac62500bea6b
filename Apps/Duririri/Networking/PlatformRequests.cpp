#include "Networking/PlatformRequests.h"

#include "Domain/OriginNormalization.h"
#include "NetKit/Origin.h"

namespace sendra::platform {

namespace {

CommandError forbidden(const QByteArray& body)
{
    try {
        const ObjectDocument answer = parseObject(body);
        if (netkit::json::text(answer.object["error"]) == QStringLiteral("identifier_required"))
            return CommandError::privateIdentifierRequired;
    } catch (const std::exception&) {
        // Not JSON or not an object: an ordinary refusal.
    }
    return CommandError::unauthorizedOrigin;
}

} // namespace

QCoro::Task<QByteArray> fetch(netkit::HttpSession session, QUrl url, CommandError notFound, bool fresh,
                              std::chrono::milliseconds timeout, netkit::CancelToken token, bool largeList)
{
    const bool platformPath = url.path().startsWith(QLatin1String("/api/platform/"));
    netkit::HttpRequest request;
    request.url = std::move(url);
    request.idleTimeout = timeout;
    if (largeList)
        request.boundAsLargeList();
    request.cache = fresh          ? netkit::HttpRequest::Cache::Fresh
                    : platformPath ? netkit::HttpRequest::Cache::IgnoreLocal
                                   : netkit::HttpRequest::Cache::Default;
    netkit::HttpResponse response = co_await session.send(std::move(request), token);

    const int status = response.status;
    if (status == 0)
        fail(CommandError::invalidResponse);
    if (status == 404)
        fail(notFound);
    if (platformPath && status == 503)
        fail(CommandError::accessConfigurationUnavailable);
    if (platformPath && status == 403)
        fail(forbidden(response.body));
    if (!response.isSuccess())
        fail(CommandError::invalidResponse);
    co_return std::move(response.body);
}

ObjectDocument parseObject(QByteArrayView body)
{
    netkit::JsonDocument document = netkit::JsonDocument::parse(body);
    const auto object = netkit::json::object(document.root());
    if (!object)
        fail(CommandError::invalidResponse);
    return {std::move(document), *object};
}

QCoro::Task<ObjectDocument> dictionary(netkit::HttpSession session, QUrl url, CommandError notFound, bool fresh,
                                       std::chrono::milliseconds timeout, netkit::CancelToken token)
{
    const QByteArray body = co_await fetch(std::move(session), std::move(url), notFound, fresh, timeout, token);
    co_return parseObject(body);
}

std::optional<QUrl> address(const JsonValue& value)
{
    const auto text = netkit::json::text(value);
    if (!text || text->isEmpty())
        return std::nullopt;
    QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    const auto left = netkit::originOf(a);
    const auto right = netkit::originOf(b);
    return left && right && *left == *right;
}

QString originText(const QUrl& origin)
{
    return normalizedOrigin(origin).toString(QUrl::FullyEncoded);
}

} // namespace sendra::platform
