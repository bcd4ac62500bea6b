#include "State/NetworkCheck.h"

#include "Networking/PlatformEndpoints.h"

#include <QUrlQuery>
#include <QUuid>

#include <algorithm>

namespace sendra {

namespace {

using namespace std::chrono_literals;

double seconds(std::chrono::nanoseconds elapsed)
{
    return std::chrono::duration<double>(std::max<std::chrono::nanoseconds>(elapsed, 1ms)).count();
}

// The service's address with `path` appended to whatever path the base already has.
QUrl under(const QUrl& base, const QString& path)
{
    QUrl url = base;
    QString basePath = base.path();
    while (basePath.endsWith(u'/'))
        basePath.chop(1);
    url.setPath(basePath + path);
    return url;
}

} // namespace

const char* NetworkCheck::Refused::what() const noexcept
{
    return "The speed-test service refused the request";
}

std::chrono::nanoseconds NetworkCheck::steadyNow()
{
    return std::chrono::steady_clock::now().time_since_epoch();
}

NetworkCheck::NetworkCheck(netkit::HttpSession session)
    : NetworkCheck(std::move(session), speedTestBase())
{
}

NetworkCheck::NetworkCheck(netkit::HttpSession session, QUrl base, Timeouts timeouts, Clock clock)
    : m_session(std::move(session))
    , m_base(std::move(base))
    , m_timeouts(timeouts)
    , m_clock(std::move(clock))
{
}

int NetworkCheck::latencyMilliseconds(std::chrono::nanoseconds elapsed)
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(std::max(elapsed, 0ns)).count());
}

double NetworkCheck::downloadMegabits(qint64 bytes, std::chrono::nanoseconds elapsed)
{
    return double(bytes) * 8.0 / 1'000'000.0 / seconds(elapsed);
}

double NetworkCheck::uploadMegabits(std::chrono::nanoseconds elapsed)
{
    return double(uploadBytes) * 8.0 / 1'000'000.0 / seconds(elapsed);
}

netkit::HttpRequest NetworkCheck::downRequest(qint64 bytes, std::chrono::milliseconds timeout) const
{
    netkit::HttpRequest request;
    request.url = under(m_base, QStringLiteral("/__down"));
    // A fresh value every time, so that no cache between here and the service answers instead of it.
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("bytes"), QString::number(bytes));
    query.addQueryItem(QStringLiteral("r"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    request.url.setQuery(query);
    request.idleTimeout = timeout;
    return request;
}

QCoro::Task<NetworkCheck::Timed> NetworkCheck::timed(netkit::HttpRequest request, netkit::CancelToken token) const
{
    const std::chrono::nanoseconds start = m_clock();
    const netkit::HttpResponse response = co_await m_session.send(std::move(request), token);
    const std::chrono::nanoseconds end = m_clock();
    if (!response.isSuccess())
        throw Refused();
    co_return Timed{response.body.size(), end - start};
}

QCoro::Task<int> NetworkCheck::latency(netkit::CancelToken token) const
{
    netkit::HttpRequest request = downRequest(1, m_timeouts.latency);
    const Timed measured = co_await timed(std::move(request), token);
    co_return latencyMilliseconds(measured.elapsed);
}

QCoro::Task<double> NetworkCheck::download(netkit::CancelToken token) const
{
    netkit::HttpRequest request = downRequest(downloadBytes, m_timeouts.download);
    const Timed measured = co_await timed(std::move(request), token);
    co_return downloadMegabits(measured.bytes, measured.elapsed);
}

QCoro::Task<double> NetworkCheck::upload(netkit::CancelToken token) const
{
    netkit::HttpRequest request;
    request.method = netkit::HttpRequest::Method::Post;
    request.url = under(m_base, QStringLiteral("/__up"));
    request.body = QByteArray(uploadBytes, '\0');
    // Stated so that Qt does not guess a form encoding (and warn about it).
    request.headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/octet-stream")});
    request.idleTimeout = m_timeouts.upload;
    const Timed measured = co_await timed(std::move(request), token);
    co_return uploadMegabits(measured.elapsed);
}

} // namespace sendra
