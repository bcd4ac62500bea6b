#include "Networking/Playlist/PlaylistChunks.h"

#include "Domain/CommandError.h"
#include "Networking/Playlist/LineReader.h"

#include <simdjson.h>

namespace sendra::playlist {

std::string PlaylistChunks::spareText(std::size_t bytes)
{
    std::string text;
    {
        const std::lock_guard lock(mutex);
        if (!spare.empty()) {
            text = std::move(spare.back());
            spare.pop_back();
        }
    }
    text.reserve(bytes);
    return text;
}

void PlaylistChunks::read(PlaylistChunk& piece)
{
    std::exception_ptr failure;
    if (!abandoned) {
        try {
            if (strictUtf8 && !simdjson::validate_utf8(piece.text.data(), piece.text.size()))
                throw CommandFailure(CommandError::invalidResponse);
            LineReader lines(origin, &abandoned, true);
            lines.builder.groups().shareMaking(made.get());
            lines.read(piece.text, piece.opening, qint64(piece.text.size()));
            piece.nodes = lines.finish();
            piece.groups = std::move(lines.builder.groups());
            piece.metInformation = lines.metInformation();
            piece.firstAddress = std::move(lines.firstAddress());
            piece.waiting = lines.waiting();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    std::string text = std::move(piece.text);
    piece.text = {};
    text.clear();
    {
        const std::lock_guard lock(mutex);
        if (spare.size() < 4)
            spare.push_back(std::move(text));
        piece.done = true;
        if (failure) {
            piece.failure = failure;
            if (!firstFailure)
                firstFailure = failure;
            failed = true;
        }
        ++done;
    }
    finished.notify_all();
}

} // namespace sendra::playlist
