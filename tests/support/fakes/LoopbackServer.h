#pragma once

#include <QUrl>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sendra::fakes {

using Header = std::pair<std::string, std::string>;

// One request as the fake server received it.
struct RecordedRequest
{
    std::string method;
    std::string rawPath; // as sent, still percent-encoded
    std::string path;    // decoded
    std::string query;   // as sent, without the "?"
    std::vector<Header> headers;
    std::string body;

    // First header of that name (case-insensitive), if any.
    std::optional<std::string> header(const std::string& name) const;
    // The query read the way a PHP server reads it ("+" is a blank, "%XX" a byte), in order.
    std::vector<Header> queryItems() const;
    // The first query value of that key, read as queryItems() reads it.
    std::optional<std::string> queryValue(const std::string& key) const;
};

// What a route answers and how.
struct Reply
{
    enum class Mode {
        Answer,           // send the answer (after `delay`)
        Hold,             // wait until release(), then send the answer
        HangAfterHeaders, // send status and headers, then send nothing until release() or the server stops
        Drop,             // close the connection without sending anything
        CutBody,          // send the headers announcing a body, then close the connection
        Trickle,          // send the body one byte at a time, `interval` apart
        Endless,          // send the body again and again until the client goes away or the server stops
    };

    int status = 200;
    std::string body;
    // When set, sent in place of `body` (Answer mode) without a copy per request: many requests for one big body.
    std::shared_ptr<const std::string> sharedBody;
    std::string contentType = "application/json";
    std::vector<Header> headers;
    std::chrono::milliseconds delay{0};
    std::chrono::milliseconds interval{0};
    Mode mode = Mode::Answer;

    static Reply json(std::string body, int status = 200);
    static Reply text(std::string body, int status = 200);
    static Reply empty(int status);
    static Reply redirect(std::string location, int status = 302);

    Reply&& after(std::chrono::milliseconds wait) &&;
    Reply&& held() &&;
    Reply&& hangingAfterHeaders() &&;
    Reply&& dropped() &&;
    Reply&& cutAfterHeaders() &&;
    Reply&& trickled(std::chrono::milliseconds every) &&;
    Reply&& endless() &&;
};

// A real HTTP server on 127.0.0.1 with an ephemeral port, running in its own threads for as long as the object
// lives. Every request is recorded before it is routed. Handlers run on the server's threads: they must only
// read shared state that the test does not change while requests are in flight, or guard it. A subclass whose
// handlers use its own members calls stop() in its destructor, before those members go away.
class LoopbackServer
{
public:
    using Handler = std::function<Reply(const RecordedRequest&)>;

    // While one lives, the servers made on its thread listen on `port` rather than an ephemeral one (0 keeps
    // the ephemeral port), so the demo services keep stable addresses. A port in use makes construction throw.
    class PortPin
    {
    public:
        explicit PortPin(int port);
        ~PortPin();
        PortPin(const PortPin&) = delete;
        PortPin& operator=(const PortPin&) = delete;

    private:
        int m_previous;
    };

    LoopbackServer();
    virtual ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const;
    // "http://127.0.0.1:<port>" (no path).
    QUrl baseUrl() const;
    // baseUrl() with `rawPath` (already encoded, starting with "/") as its path.
    QUrl url(const std::string& rawPath) const;

    // Routes match the decoded path exactly, or every path that starts with it when it ends in "*". The method
    // "*" matches any method (HEAD is matched by "GET" routes too). A later route for the same method and path
    // replaces the earlier one. Unrouted requests get an empty 404.
    void route(const std::string& method, const std::string& path, Handler handler);
    void route(const std::string& method, const std::string& path, Reply reply);
    void clearRoutes();

    // Ends every held answer, stops serving and waits for the server's threads. Idempotent.
    void stop();

    // Lets every answer currently held (Hold, HangAfterHeaders) go.
    void release();
    std::size_t heldCount() const;

    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount() const;
    std::size_t requestCount(const std::string& path) const;
    std::optional<RecordedRequest> lastRequest(const std::string& path) const;
    void clearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sendra::fakes
