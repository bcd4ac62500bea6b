#pragma once

#include "LoopbackServer.h"

#include <QUrl>

#include <string>

namespace sendra::fakes {

// Serves playlists on 127.0.0.1, each at a path of its own, as bytes exactly as given (any encoding).
class FakePlaylistHost : public LoopbackServer
{
public:
    // Publishes `bytes` at `path` ("/lists/tv.m3u") and returns its address.
    QUrl publish(const std::string& path, std::string bytes, int status = 200,
                 std::string contentType = "audio/x-mpegurl");
    QUrl publish(const std::string& path, Reply reply);
};

} // namespace sendra::fakes
