#include "MediaServer.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace sendra::testing {

namespace {

struct Route
{
    enum class Kind { file, cutFile, stallingFile, hang, redirect } kind = Kind::file;
    std::shared_ptr<const QByteArray> content;
    std::string contentType;
    double cutFraction = 1.0;
    std::string location;
    int status = 302;
    std::string rejectedAgent;
    int failuresLeft = 0;
};

std::string lowerCased(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

std::optional<std::string> MediaServer::Request::header(const std::string &lowerCaseName) const
{
    const auto it = headers.find(lowerCaseName);
    if (it == headers.end())
        return std::nullopt;
    return it->second;
}

struct MediaServer::Impl
{
    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable released;
    bool releasing = false;
    std::map<std::string, Route> routes;
    std::map<std::string, int> served; // requests answered per path
    std::vector<Request> requests;

    void handle(const httplib::Request &request, httplib::Response &response)
    {
        Route route;
        {
            std::lock_guard lock(mutex);
            Request recorded{request.method, request.path, {}};
            for (const auto &[name, value] : request.headers)
                recorded.headers.emplace(lowerCased(name), value);
            requests.push_back(std::move(recorded));
            const auto it = routes.find(request.path);
            if (it == routes.end()) {
                response.status = 404;
                return;
            }
            if (it->second.failuresLeft > 0) {
                --it->second.failuresLeft;
                response.status = 404;
                return;
            }
            route = it->second;
            ++served[request.path];
            if (route.kind == Route::Kind::stallingFile && served[request.path] > 1)
                route.cutFraction = 0;
        }
        const std::string agent = request.get_header_value("User-Agent");
        if (!route.rejectedAgent.empty() && agent.find(route.rejectedAgent) != std::string::npos) {
            response.status = 403;
            return;
        }
        switch (route.kind) {
        case Route::Kind::file:
            response.set_content(route.content->constData(), std::size_t(route.content->size()), route.contentType);
            return;
        case Route::Kind::cutFile: {
            const auto content = route.content;
            const std::size_t cutAt = std::size_t(double(content->size()) * route.cutFraction);
            response.set_content_provider(
                std::size_t(content->size()), route.contentType,
                [content, cutAt](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
                    if (offset >= cutAt)
                        return false;
                    const std::size_t count = std::min({length, cutAt - offset, std::size_t(64 * 1024)});
                    sink.write(content->constData() + offset, count);
                    return offset + count < cutAt;
                });
            return;
        }
        case Route::Kind::stallingFile: {
            const auto content = route.content;
            const std::size_t stallAt = std::size_t(double(content->size()) * route.cutFraction);
            response.set_content_provider(
                std::size_t(content->size()), route.contentType,
                [this, content, stallAt](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
                    if (offset < stallAt) {
                        const std::size_t count = std::min({length, stallAt - offset, std::size_t(64 * 1024)});
                        sink.write(content->constData() + offset, count);
                        return true;
                    }
                    std::unique_lock lock(mutex);
                    released.wait(lock, [this] { return releasing; });
                    return false;
                });
            return;
        }
        case Route::Kind::hang: {
            std::unique_lock lock(mutex);
            released.wait(lock, [this] { return releasing; });
            if (route.location.empty())
                response.status = 503;
            else
                response.set_redirect(route.location, 302);
            return;
        }
        case Route::Kind::redirect:
            response.set_redirect(route.location, route.status);
            return;
        }
    }
};

MediaServer::MediaServer()
    : d(std::make_unique<Impl>())
{
    const auto handler = [this](const httplib::Request &request, httplib::Response &response) {
        d->handle(request, response);
    };
    d->server.Get(".*", handler);
    d->server.Post(".*", handler);
    d->port = d->server.bind_to_any_port("127.0.0.1");
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    while (!d->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

MediaServer::~MediaServer()
{
    release();
    d->server.stop();
    d->thread.join();
}

int MediaServer::port() const
{
    return d->port;
}

QUrl MediaServer::url(const std::string &path, const std::string &host) const
{
    return QUrl(QString::fromStdString("http://" + host + ":" + std::to_string(d->port) + path));
}

void MediaServer::serveFile(const std::string &path, QByteArray content, std::string contentType)
{
    std::lock_guard lock(d->mutex);
    d->routes[path] = Route{Route::Kind::file, std::make_shared<const QByteArray>(std::move(content)),
                            std::move(contentType)};
}

void MediaServer::serveCutFile(const std::string &path, QByteArray content, std::string contentType,
                               double fraction)
{
    std::lock_guard lock(d->mutex);
    d->routes[path] = Route{Route::Kind::cutFile, std::make_shared<const QByteArray>(std::move(content)),
                            std::move(contentType), fraction};
}

void MediaServer::serveStallingFile(const std::string &path, QByteArray content, std::string contentType,
                                    double fraction)
{
    std::lock_guard lock(d->mutex);
    d->routes[path] = Route{Route::Kind::stallingFile, std::make_shared<const QByteArray>(std::move(content)),
                            std::move(contentType), fraction};
}

void MediaServer::serveFileRejectingAgent(const std::string &path, QByteArray content, std::string contentType,
                                          std::string agent)
{
    std::lock_guard lock(d->mutex);
    Route route{Route::Kind::file, std::make_shared<const QByteArray>(std::move(content)), std::move(contentType)};
    route.rejectedAgent = std::move(agent);
    d->routes[path] = route;
}

void MediaServer::serveFileAfterFailures(const std::string &path, QByteArray content, std::string contentType,
                                         int failures)
{
    std::lock_guard lock(d->mutex);
    Route route{Route::Kind::file, std::make_shared<const QByteArray>(std::move(content)), std::move(contentType)};
    route.failuresLeft = failures;
    d->routes[path] = route;
}

void MediaServer::serveHang(const std::string &path, std::string locationAfterRelease)
{
    std::lock_guard lock(d->mutex);
    Route route{Route::Kind::hang};
    route.location = std::move(locationAfterRelease);
    d->routes[path] = route;
}

void MediaServer::serveRedirect(const std::string &path, const std::string &location, int status)
{
    std::lock_guard lock(d->mutex);
    Route route{Route::Kind::redirect};
    route.location = location;
    route.status = status;
    d->routes[path] = route;
}

void MediaServer::stopServing(const std::string &path)
{
    std::lock_guard lock(d->mutex);
    d->routes.erase(path);
}

void MediaServer::release()
{
    {
        std::lock_guard lock(d->mutex);
        d->releasing = true;
    }
    d->released.notify_all();
}

std::vector<MediaServer::Request> MediaServer::requests(const std::string &path) const
{
    std::lock_guard lock(d->mutex);
    std::vector<Request> matching;
    std::copy_if(d->requests.begin(), d->requests.end(), std::back_inserter(matching),
                 [&path](const Request &request) { return request.path == path; });
    return matching;
}

std::size_t MediaServer::requestCount(const std::string &path) const
{
    return requests(path).size();
}

} // namespace sendra::testing
