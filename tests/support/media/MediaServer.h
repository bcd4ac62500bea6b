#pragma once

#include <QByteArray>
#include <QUrl>

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sendra::testing {

// A media host on 127.0.0.1 for the playback tests: files with HTTP range support, files whose connection is
// cut part-way, addresses that hang, redirects, and 404 for everything else. Every request is recorded with
// its headers. Runs in its own threads for as long as the object lives.
class MediaServer
{
public:
    struct Request
    {
        std::string method;
        std::string path;
        std::multimap<std::string, std::string> headers; // names lower-cased
        std::optional<std::string> header(const std::string &lowerCaseName) const;
    };

    MediaServer();
    ~MediaServer();
    MediaServer(const MediaServer &) = delete;
    MediaServer &operator=(const MediaServer &) = delete;

    int port() const;
    // "http://<host>:<port><path>"; another host name (such as "localhost") reaches the same server.
    QUrl url(const std::string &path, const std::string &host = "127.0.0.1") const;

    void serveFile(const std::string &path, QByteArray content, std::string contentType);
    // Serves the file but closes the connection once `fraction` of its bytes went out; a request for bytes
    // past that point is cut at once.
    void serveCutFile(const std::string &path, QByteArray content, std::string contentType, double fraction);
    // A server that stops delivering: the first request gets `fraction` of the bytes, then the connection
    // stays open with nothing more; every later request gets nothing at all. Held until release() or the
    // server stops.
    void serveStallingFile(const std::string &path, QByteArray content, std::string contentType, double fraction);
    // Serves the file, but answers 403 to a client whose User-Agent contains `agent`.
    void serveFileRejectingAgent(const std::string &path, QByteArray content, std::string contentType,
                                 std::string agent);
    // Answers 404 to the first `failures` requests, then serves the file.
    void serveFileAfterFailures(const std::string &path, QByteArray content, std::string contentType,
                                int failures);
    // Accepts the request and answers nothing until release() or the server stops; then 503, or a 302 to
    // `locationAfterRelease` when one is given.
    void serveHang(const std::string &path, std::string locationAfterRelease = {});
    void serveRedirect(const std::string &path, const std::string &location, int status = 302);

    // From now on the address answers 404.
    void stopServing(const std::string &path);
    void release();
    std::vector<Request> requests(const std::string &path) const;
    std::size_t requestCount(const std::string &path) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sendra::testing
