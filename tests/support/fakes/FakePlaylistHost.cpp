#include "FakePlaylistHost.h"

#include <utility>

namespace sendra::fakes {

QUrl FakePlaylistHost::publish(const std::string& path, std::string bytes, int status, std::string contentType)
{
    Reply reply = Reply::text(std::move(bytes), status);
    reply.contentType = std::move(contentType);
    return publish(path, std::move(reply));
}

QUrl FakePlaylistHost::publish(const std::string& path, Reply reply)
{
    route("GET", path, std::move(reply));
    return url(path);
}

} // namespace sendra::fakes
