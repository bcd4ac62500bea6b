#pragma once

#include <QByteArray>

namespace sendra::testing {

enum class Clip {
    mp4,       // 8 s test pattern with a tone, H.264 and AAC, index at the front
    ts,        // the same as an MPEG transport stream
    audioOnly, // 8 s tone in a transport stream, no video track
    red,       // 2 s of solid red, H.264 in mp4 (to check colours end to end)
    longMp4,   // 30 s test pattern with a tone, index at the front (time left after a cut)
    shortTs,   // 2 s test pattern in a transport stream (a live channel that ends)
    wide,      // 2 s at 720x576 with 64:45 pixels, H.264 in mp4 (a 16:9 picture)
    tracks,    // 8 s test pattern with two audio tracks and a subtitle track, in Matroska
};

// Made by ffmpeg on first use, once per test process. Empty when ffmpeg is missing or fails.
QByteArray mediaClip(Clip clip);

} // namespace sendra::testing
