#pragma once

// One plain HTTP exchange for the tests of the loopback services, waited for in the test's event loop.

#include <QByteArray>
#include <QHash>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>

#include <chrono>
#include <memory>

namespace sendra::testkit {

struct Fetched
{
    int status = 0; // 0: no HTTP answer
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    std::chrono::milliseconds elapsed{0};
    QHash<QByteArray, QByteArray> headers; // names in lower case

    QByteArray header(const char* name) const { return headers.value(QByteArray(name).toLower()); }
};

inline Fetched fetch(QNetworkAccessManager& manager, QNetworkRequest request, const QByteArray& verb = "GET",
                     const QByteArray& body = {})
{
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QNetworkReply> reply(manager.sendCustomRequest(request, verb, body));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(20000);
    Fetched result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.error = reply->error();
    result.elapsed = std::chrono::milliseconds(clock.elapsed());
    for (const auto& [name, value] : reply->rawHeaderPairs())
        result.headers.insert(name.toLower(), value);
    return result;
}

} // namespace sendra::testkit
