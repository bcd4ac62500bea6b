#pragma once

#include "Domain/CatalogTypes.h"
#include "Networking/Playlist/GroupBook.h"
#include "Networking/Playlist/MadeGroups.h"

#include <QUrl>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sendra::playlist {

// A stretch of the playlist from a line start to a line end, read apart from the rest.
struct PlaylistChunk {
    std::string text;
    bool opening = false; // holds the playlist's first bytes
    std::atomic<bool> claimed = false;
    // What reading it gave: its entries (their groups numbered by `groups`), and what joining it to the pieces
    // around it needs.
    NodeTable nodes;
    GroupBook groups;
    bool metInformation = false;
    std::optional<std::string> firstAddress;
    std::optional<std::string> waiting;
    std::exception_ptr failure;
    bool done = false; // under the pieces' mutex
};

// The pieces of one playlist, shared with the workers that read them (which may outlive the reader).
struct PlaylistChunks {
    PlaylistChunks(const QUrl& origin, bool strictUtf8) : origin(origin), strictUtf8(strictUtf8) {}

    // Room for the next piece's text: a piece read gives its memory back for the next, which spares the page
    // faults of new memory for every piece.
    std::string spareText(std::size_t bytes);

    // Reads `piece` (on whichever thread claimed it) and marks it done.
    void read(PlaylistChunk& piece);

    const QUrl origin;
    const bool strictUtf8;
    std::vector<std::shared_ptr<PlaylistChunk>> list; // the reader's thread alone changes it
    std::unique_ptr<MadeGroups> made;                 // set before the first piece is read
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t done = 0;            // pieces read, under `mutex`
    std::exception_ptr firstFailure; // the first to fail, under `mutex`
    std::vector<std::string> spare;  // texts of pieces read, under `mutex`
    std::atomic<bool> failed = false;
    std::atomic<bool> abandoned = false; // the reader is gone (or cancelled): what is left unread stays so
};

} // namespace sendra::playlist
