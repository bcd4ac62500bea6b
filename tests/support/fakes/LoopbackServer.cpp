#include "LoopbackServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace sendra::fakes {

namespace {

// Answers above this size are streamed uncompressed, in pieces of largePiece bytes. cpp-httplib compresses the
// others with brotli at its slowest setting when the client accepts it, which holds a list of half a megabyte back
// for over a second.
constexpr std::size_t largeBody = 64 << 10;
constexpr std::size_t largePiece = 256 << 10;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& text, bool plusIsBlank)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' && plusIsBlank) {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool sameName(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower((unsigned char)x) == std::tolower((unsigned char)y); });
}

int socketPort(int fd, bool peer)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length)
                        : getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    if (rc != 0 || address.sin_family != AF_INET)
        return -1;
    return ntohs(address.sin_port);
}

// cpp-httplib does not hand the connection to a handler, so find it by its two ports and shut it down; the
// server closes it afterwards as usual.
void shutDownConnection(int localPort, int remotePort)
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2)
            continue;
        if (socketPort(fd, false) == localPort && socketPort(fd, true) == remotePort) {
            ::shutdown(fd, SHUT_RDWR);
            break;
        }
    }
    closedir(dir);
}

thread_local int pinnedPort = 0;

} // namespace

std::optional<std::string> RecordedRequest::header(const std::string& name) const
{
    for (const auto& [key, value] : headers)
        if (sameName(key, name))
            return value;
    return std::nullopt;
}

std::vector<Header> RecordedRequest::queryItems() const
{
    std::vector<Header> items;
    std::size_t start = 0;
    while (start <= query.size() && !query.empty()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string pair = query.substr(start, end - start);
        if (!pair.empty()) {
            const std::size_t equals = pair.find('=');
            const std::string key = pair.substr(0, equals);
            const std::string value = equals == std::string::npos ? std::string() : pair.substr(equals + 1);
            items.emplace_back(percentDecoded(key, true), percentDecoded(value, true));
        }
        start = end + 1;
    }
    return items;
}

std::optional<std::string> RecordedRequest::queryValue(const std::string& key) const
{
    for (const auto& [name, value] : queryItems())
        if (name == key)
            return value;
    return std::nullopt;
}

Reply Reply::json(std::string body, int status)
{
    Reply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

Reply Reply::text(std::string body, int status)
{
    Reply reply = json(std::move(body), status);
    reply.contentType = "text/plain";
    return reply;
}

Reply Reply::empty(int status)
{
    return text({}, status);
}

Reply Reply::redirect(std::string location, int status)
{
    Reply reply = empty(status);
    reply.headers.emplace_back("Location", std::move(location));
    return reply;
}

Reply&& Reply::after(std::chrono::milliseconds wait) &&
{
    delay = wait;
    return std::move(*this);
}

Reply&& Reply::held() &&
{
    mode = Mode::Hold;
    return std::move(*this);
}

Reply&& Reply::hangingAfterHeaders() &&
{
    mode = Mode::HangAfterHeaders;
    return std::move(*this);
}

Reply&& Reply::dropped() &&
{
    mode = Mode::Drop;
    return std::move(*this);
}

Reply&& Reply::trickled(std::chrono::milliseconds every) &&
{
    mode = Mode::Trickle;
    interval = every;
    return std::move(*this);
}

Reply&& Reply::endless() &&
{
    mode = Mode::Endless;
    return std::move(*this);
}

Reply&& Reply::cutAfterHeaders() &&
{
    mode = Mode::CutBody;
    return std::move(*this);
}

struct LoopbackServer::Impl
{
    struct Route
    {
        std::string method;
        std::string path;
        Handler handler;

        bool matches(const RecordedRequest& request) const
        {
            const bool methodMatches = method == "*" || method == request.method
                                       || (method == "GET" && request.method == "HEAD");
            if (!methodMatches)
                return false;
            if (!path.empty() && path.back() == '*')
                return request.path.compare(0, path.size() - 1, path, 0, path.size() - 1) == 0;
            return request.path == path;
        }
    };

    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    quint64 releases = 0;
    std::size_t held = 0;
    std::vector<Route> routes;
    std::vector<RecordedRequest> recorded;

    // Blocks until the test releases the answers held now, or the server stops. False when it stopped.
    bool waitForRelease()
    {
        std::unique_lock lock(mutex);
        const quint64 generation = releases;
        ++held;
        wake.wait(lock, [&] { return stopping || releases != generation; });
        --held;
        return !stopping;
    }

    bool isStopping() const
    {
        std::lock_guard lock(mutex);
        return stopping;
    }

    bool sleepFor(std::chrono::milliseconds delay)
    {
        std::unique_lock lock(mutex);
        return !wake.wait_for(lock, delay, [&] { return stopping; });
    }

    Reply answer(const RecordedRequest& request)
    {
        Handler handler;
        {
            std::lock_guard lock(mutex);
            recorded.push_back(request);
            // Latest route first, so a test can override a default route.
            const auto found = std::find_if(routes.rbegin(), routes.rend(),
                                            [&](const Route& route) { return route.matches(request); });
            if (found != routes.rend())
                handler = found->handler;
        }
        return handler ? handler(request) : Reply::empty(404);
    }

    void serve(const httplib::Request& in, httplib::Response& out)
    {
        RecordedRequest request;
        request.method = in.method;
        const std::size_t question = in.target.find('?');
        request.rawPath = in.target.substr(0, question);
        request.query = question == std::string::npos ? std::string() : in.target.substr(question + 1);
        request.path = percentDecoded(request.rawPath, false);
        for (const auto& [key, value] : in.headers)
            request.headers.emplace_back(key, value);
        request.body = in.body;

        Reply reply = answer(request);
        if (reply.delay.count() > 0 && !sleepFor(reply.delay))
            return;
        if (reply.mode == Reply::Mode::Hold && !waitForRelease())
            return;
        if (reply.mode == Reply::Mode::Drop) {
            shutDownConnection(in.local_port, in.remote_port);
            return;
        }

        out.status = reply.status;
        for (const auto& [key, value] : reply.headers)
            out.set_header(key, value);
        switch (reply.mode) {
        case Reply::Mode::HangAfterHeaders:
            out.set_chunked_content_provider(reply.contentType,
                                             [this, body = reply.body](std::size_t, httplib::DataSink& sink) {
                                                 if (!waitForRelease())
                                                     return false;
                                                 if (!body.empty())
                                                     sink.write(body.data(), body.size());
                                                 sink.done();
                                                 return true;
                                             });
            break;
        case Reply::Mode::CutBody:
            out.set_content_provider(std::max<std::size_t>(reply.body.size(), 1) + 64, reply.contentType,
                                     [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
            break;
        case Reply::Mode::Trickle:
            out.set_chunked_content_provider(
                reply.contentType, [this, body = reply.body, every = reply.interval](std::size_t sent, httplib::DataSink& sink) {
                    if (sent >= body.size()) {
                        sink.done();
                        return true;
                    }
                    return sleepFor(every) && sink.write(body.data() + sent, 1);
                });
            break;
        case Reply::Mode::Endless:
            out.set_chunked_content_provider(
                reply.contentType, [this, body = reply.body.empty() ? std::string(" ") : reply.body](std::size_t, httplib::DataSink& sink) {
                    return !isStopping() && sink.write(body.data(), body.size());
                });
            break;
        default:
            if (reply.sharedBody || reply.body.size() > largeBody) {
                // Sent as it is, piece by piece, the way a panel streams a big list: compressing it whole
                // first (brotli, at its slowest setting) held back the first byte for most of a minute.
                auto body = reply.sharedBody ? reply.sharedBody
                                             : std::make_shared<const std::string>(std::move(reply.body));
                out.set_content_provider(body->size(), reply.contentType,
                                         [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                             const std::size_t piece = std::min(length, largePiece);
                                             return sink.write(body->data() + offset, piece);
                                         });
            } else if (!reply.body.empty() || reply.status != 204) {
                out.set_content(reply.body, reply.contentType);
            }
            break;
        }
    }
};

LoopbackServer::PortPin::PortPin(int port)
    : m_previous(pinnedPort)
{
    pinnedPort = port;
}

LoopbackServer::PortPin::~PortPin()
{
    pinnedPort = m_previous;
}

LoopbackServer::LoopbackServer()
    : d(std::make_unique<Impl>())
{
    // A client that goes away mid-answer must not kill the test process.
    std::signal(SIGPIPE, SIG_IGN);
    const auto handler = [this](const httplib::Request& in, httplib::Response& out) { d->serve(in, out); };
    d->server.Get(".*", handler);
    d->server.Post(".*", handler);
    d->server.Put(".*", handler);
    d->server.Patch(".*", handler);
    d->server.Delete(".*", handler);
    d->server.Options(".*", handler);
    // One request per connection: the server then stops at once instead of waiting out idle keep-alives.
    d->server.set_keep_alive_max_count(1);
    // As patient with a client that stops reading as real servers are (nginx waits a minute), not cpp-httplib's five
    // seconds: a client that waits for room to read (the artwork fetcher) was otherwise cut short on a busy machine.
    d->server.set_write_timeout(60, 0);
    if (pinnedPort > 0) {
        // Without cpp-httplib's SO_REUSEPORT, so a second demo cannot share the port unnoticed.
        d->server.set_socket_options([](int socket) {
            const int yes = 1;
            setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        });
        d->port = d->server.bind_to_port("127.0.0.1", pinnedPort) ? pinnedPort : -1;
    } else {
        d->port = d->server.bind_to_any_port("127.0.0.1");
    }
    if (d->port <= 0)
        throw std::runtime_error("the loopback server could not bind a port");
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    while (!d->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

void LoopbackServer::stop()
{
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    d->server.stop();
    if (d->thread.joinable())
        d->thread.join();
}

int LoopbackServer::port() const
{
    return d->port;
}

QUrl LoopbackServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(d->port));
}

QUrl LoopbackServer::url(const std::string& rawPath) const
{
    return QUrl(baseUrl().toString() + QString::fromStdString(rawPath), QUrl::StrictMode);
}

void LoopbackServer::route(const std::string& method, const std::string& path, Handler handler)
{
    std::lock_guard lock(d->mutex);
    std::erase_if(d->routes, [&](const Impl::Route& r) { return r.method == method && r.path == path; });
    d->routes.push_back({method, path, std::move(handler)});
}

void LoopbackServer::route(const std::string& method, const std::string& path, Reply reply)
{
    route(method, path, [reply = std::move(reply)](const RecordedRequest&) { return reply; });
}

void LoopbackServer::clearRoutes()
{
    std::lock_guard lock(d->mutex);
    d->routes.clear();
}

void LoopbackServer::release()
{
    {
        std::lock_guard lock(d->mutex);
        ++d->releases;
    }
    d->wake.notify_all();
}

std::size_t LoopbackServer::heldCount() const
{
    std::lock_guard lock(d->mutex);
    return d->held;
}

std::vector<RecordedRequest> LoopbackServer::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->recorded;
}

std::size_t LoopbackServer::requestCount() const
{
    std::lock_guard lock(d->mutex);
    return d->recorded.size();
}

std::size_t LoopbackServer::requestCount(const std::string& path) const
{
    std::lock_guard lock(d->mutex);
    return std::count_if(d->recorded.begin(), d->recorded.end(),
                         [&](const RecordedRequest& r) { return r.path == path; });
}

std::optional<RecordedRequest> LoopbackServer::lastRequest(const std::string& path) const
{
    std::lock_guard lock(d->mutex);
    const auto found = std::find_if(d->recorded.rbegin(), d->recorded.rend(),
                                    [&](const RecordedRequest& r) { return r.path == path; });
    if (found == d->recorded.rend())
        return std::nullopt;
    return *found;
}

void LoopbackServer::clearRequests()
{
    std::lock_guard lock(d->mutex);
    d->recorded.clear();
}

} // namespace sendra::fakes
