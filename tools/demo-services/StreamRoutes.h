#pragma once

#include "fakes/LoopbackServer.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace sendra::demo {

// The clips every stream address of the demo plays, made once by ffmpeg.
struct DemoClips
{
    std::shared_ptr<const std::string> mp4; // 8 s test pattern with a tone, index at the front
    std::shared_ptr<const std::string> ts;  // the same as an MPEG transport stream

    // Throws std::runtime_error when ffmpeg is missing or fails.
    static DemoClips make();
};

using Account = std::pair<std::string, std::string>; // user, password

// Serves the stream folders of a panel on `server` ("/live/<user>/<password>/<id>.<ext>", "/movie/...",
// "/series/...") from the clips: ".ts" is the transport stream, ".m3u8" a one-segment HLS playlist of it and
// every other extension the mp4, with byte ranges. With an `account`, its user and password must be the path's,
// as a panel checks them (else 403).
void routeStreams(fakes::LoopbackServer& server, const DemoClips& clips, std::optional<Account> account);

} // namespace sendra::demo
