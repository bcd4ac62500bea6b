#include "Shared/ProviderMovieRedirectResolver.h"

#include "Shared/MediaOptions.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QCoro/QCoroSignal>

#include <algorithm>

namespace sendra::playback {

namespace {

// The reply belongs to the shared manager; it may be gone already when the probe ends.
struct ReplyHolder
{
    QPointer<QNetworkReply> reply;
    ~ReplyHolder()
    {
        if (reply)
            reply->deleteLater();
    }
};

QNetworkRequest probeRequest(const QUrl &url, const std::optional<QByteArray> &range)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    if (range)
        request.setRawHeader("Range", *range);
    request.setRawHeader("User-Agent", clientIdentity);
    request.setRawHeader("Accept", "*/*");
    request.setRawHeader("Connection", "keep-alive");
    if (const auto referer = refererFor(url))
        request.setRawHeader("Referer", referer->toUtf8());
    return request;
}

// Aborting emits `finished` synchronously; the waiting coroutine must not resume inside a timer or signal
// handler of the reply it is about to delete.
void postAbort(QNetworkReply *reply)
{
    QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

std::optional<QUrl> redirectTarget(const QNetworkReply &reply)
{
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant target = reply.attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (status < 300 || status > 399 || !target.isValid())
        return std::nullopt;
    const QUrl resolved = reply.url().resolved(target.toUrl());
    if (!resolved.isValid() || resolved.isRelative())
        return std::nullopt;
    return resolved;
}

} // namespace

bool ProviderMovieRedirectResolver::isProviderMovie(const QUrl &url)
{
    const auto components = url.path().split(u'/', Qt::SkipEmptyParts);
    return std::any_of(components.begin(), components.end(), [](const QString &component) {
        return component.compare(QLatin1String("movie"), Qt::CaseInsensitive) == 0;
    });
}

QCoro::Task<QUrl> ProviderMovieRedirectResolver::resolve(QNetworkAccessManager *network, QUrl url,
                                                         netkit::CancelToken token, ProbeTimeouts timeouts)
{
    if (!isProviderMovie(url))
        co_return url;
    const QUrl first = co_await resolveRedirect(network, url, "HEAD", std::nullopt, token, timeouts);
    if (token.isCancelled())
        co_return url;
    if (first.host().toLower() == url.host().toLower())
        co_return co_await resolveRedirect(network, url, "GET", QByteArray("bytes=0-0"), token, timeouts);
    co_return first;
}

QCoro::Task<QUrl> ProviderMovieRedirectResolver::resolveRedirect(QNetworkAccessManager *network, QUrl url,
                                                                 QByteArray method,
                                                                 std::optional<QByteArray> range,
                                                                 netkit::CancelToken token, ProbeTimeouts timeouts)
{
    if (!network || token.isCancelled() || !url.isValid())
        co_return url;

    const QNetworkRequest request = probeRequest(url, range);
    const ReplyHolder holder{method == "HEAD" ? network->head(request) : network->sendCustomRequest(request, method)};
    QNetworkReply *const raw = holder.reply.data();
    std::optional<QUrl> captured;

    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(timeouts.request);
    QTimer whole;
    whole.setSingleShot(true);
    whole.setInterval(timeouts.resource);
    QObject::connect(&idle, &QTimer::timeout, raw, [raw] { postAbort(raw); });
    QObject::connect(&whole, &QTimer::timeout, raw, [raw] { postAbort(raw); });
    QObject::connect(raw, &QNetworkReply::downloadProgress, &idle, qOverload<>(&QTimer::start));
    const bool releaseAtHeaders = method != "HEAD";
    QObject::connect(raw, &QNetworkReply::metaDataChanged, raw, [raw, &captured, &idle, releaseAtHeaders] {
        idle.start();
        if (auto target = redirectTarget(*raw))
            captured = std::move(target);
        if (releaseAtHeaders)
            postAbort(raw);
    });
    const netkit::CancelRegistration cancelled = token.onCancel([guard = holder.reply] {
        if (guard)
            postAbort(guard.data());
    });
    idle.start();
    whole.start();

    if (!raw->isFinished())
        co_await qCoro(raw, &QNetworkReply::finished);
    if (!captured && holder.reply)
        captured = redirectTarget(*raw);
    co_return captured.value_or(url);
}

} // namespace sendra::playback
