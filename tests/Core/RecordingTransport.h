#pragma once

// A transport that records every request and answers from a script, for client tests without a server.

#include "OrrinthCore/HttpTransport.h"

#include <QCoro/QCoroTimer>

#include <QHash>
#include <QList>
#include <QUrlQuery>

#include <chrono>
#include <memory>
#include <optional>

namespace coretest {

struct ScriptedAnswer
{
    int status = 200;
    QByteArray body;
    std::optional<netkit::HttpError::Kind> failure; // no HTTP answer at all
    std::chrono::milliseconds delay{0};
    bool held = false; // never answers; only cancellation ends it
};

inline ScriptedAnswer answer(QByteArray body, int status = 200)
{
    return {status, std::move(body)};
}

inline ScriptedAnswer failure(netkit::HttpError::Kind kind)
{
    ScriptedAnswer scripted;
    scripted.failure = kind;
    return scripted;
}

inline ScriptedAnswer held()
{
    ScriptedAnswer scripted;
    scripted.held = true;
    return scripted;
}

class RecordingTransport final : public orrinth::HttpTransport
{
public:
    // A request's key is its "action" query value when it has one, else its path; a script key matches a request
    // key that ends with it. Unscripted requests get an empty 404.
    void on(const QString &key, ScriptedAnswer scripted) { m_script.insert(key, std::move(scripted)); }

    QList<netkit::HttpRequest> requests;

    const netkit::HttpRequest *lastRequest(const QString &key) const
    {
        for (auto it = requests.crbegin(); it != requests.crend(); ++it) {
            if (keyOf(*it).endsWith(key))
                return &*it;
        }
        return nullptr;
    }

    static QString keyOf(const netkit::HttpRequest &request)
    {
        const QString action = QUrlQuery(request.url).queryItemValue(QStringLiteral("action"));
        return action.isEmpty() ? request.url.path() : action;
    }

    QCoro::Task<netkit::HttpResponse> send(netkit::HttpRequest request, netkit::CancelToken token) override
    {
        requests.append(request);
        ScriptedAnswer scripted{404, {}};
        const QString key = keyOf(request);
        for (auto it = m_script.cbegin(); it != m_script.cend(); ++it) {
            if (key.endsWith(it.key()))
                scripted = it.value();
        }
        // Always answer from the event loop, as the network would.
        co_await QCoro::sleepFor(scripted.delay);
        while (scripted.held && !token.isCancelled())
            co_await QCoro::sleepFor(std::chrono::milliseconds(5));
        netkit::throwIfCancelled(token);
        if (scripted.failure)
            throw netkit::HttpError(*scripted.failure, QNetworkReply::UnknownNetworkError);
        netkit::HttpResponse response;
        response.status = scripted.status;
        response.body = scripted.body;
        response.url = request.url;
        co_return response;
    }

private:
    QHash<QString, ScriptedAnswer> m_script;
};

} // namespace coretest
