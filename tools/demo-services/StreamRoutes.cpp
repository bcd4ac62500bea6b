#include "StreamRoutes.h"

#include "media/MediaClips.h"

#include <stdexcept>
#include <vector>

namespace sendra::demo {

namespace {

using fakes::RecordedRequest;
using fakes::Reply;

std::shared_ptr<const std::string> clipBytes(testing::Clip clip)
{
    const QByteArray bytes = testing::mediaClip(clip);
    if (bytes.isEmpty())
        throw std::runtime_error("ffmpeg could not make the demo clips (is ffmpeg installed?)");
    return std::make_shared<const std::string>(bytes.toStdString());
}

std::vector<std::string> segments(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// A whole file with byte ranges: the server cuts the body to the asked range when the status is 206.
Reply file(const RecordedRequest& request, const std::string& bytes, const char* contentType)
{
    Reply reply = Reply::text(bytes, request.header("Range") ? 206 : 200);
    reply.contentType = contentType;
    reply.headers.emplace_back("Accept-Ranges", "bytes");
    return reply;
}

Reply hlsPlaylist(const std::string& fileName)
{
    const std::string segment = fileName.substr(0, fileName.rfind('.')) + ".ts";
    Reply reply = Reply::text("#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:8\n#EXT-X-MEDIA-SEQUENCE:0\n"
                              "#EXT-X-PLAYLIST-TYPE:VOD\n#EXTINF:8.0,\n"
                              + segment + "\n#EXT-X-ENDLIST\n");
    reply.contentType = "application/vnd.apple.mpegurl";
    return reply;
}

std::string extension(const std::string& fileName)
{
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
}

} // namespace

DemoClips DemoClips::make()
{
    return {clipBytes(testing::Clip::mp4), clipBytes(testing::Clip::ts)};
}

void routeStreams(fakes::LoopbackServer& server, const DemoClips& clips, std::optional<Account> account)
{
    const auto handler = [clips, account](const RecordedRequest& request) {
        // folder, user, password, "<id>.<extension>"
        const std::vector<std::string> parts = segments(request.path);
        if (parts.size() != 4 || parts[3].empty())
            return Reply::empty(404);
        if (account && (parts[1] != account->first || parts[2] != account->second))
            return Reply::empty(403);
        const std::string suffix = extension(parts[3]);
        if (suffix == "m3u8")
            return hlsPlaylist(parts[3]);
        if (suffix == "ts")
            return file(request, *clips.ts, "video/mp2t");
        return file(request, *clips.mp4, "video/mp4");
    };
    for (const char* folder : {"/live/*", "/movie/*", "/series/*"})
        server.route("GET", folder, handler);
}

} // namespace sendra::demo
