#pragma once

#include "Domain/CatalogTypes.h"
#include "Networking/Playlist/GroupBook.h"
#include "Networking/Playlist/LineFramer.h"
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

// A stretch of the playlist from a line start to a line end, read apart from the rest. What reading it gave is
// written by the thread that reads it, and read by the join only once PlaylistChunks hands it over as finished.
class PlaylistChunk
{
public:
    std::string text;
    bool opening = false; // holds the playlist's first bytes
    // What reading it gave: its entries (their groups numbered by `groups`), and what joining it to the chunks
    // around it needs.
    NodeTable nodes;
    GroupBook groups;
    bool metInformation = false;
    std::optional<std::string> firstAddress;
    std::optional<std::string> waiting;
    std::exception_ptr failure;

private:
    friend class PlaylistChunks;
    std::atomic<bool> m_claimed = false;
    bool m_finished = false; // under the chunks' mutex
};

// The chunks of one playlist, shared with the workers that read them (which may outlive the reader). The reader's
// thread adds chunks, takes the finished ones in order and, at the end, reads what no worker has begun before it
// waits: so it waits only for chunks a worker is reading, never for one still queued behind it in its own pool.
// Each chunk is read once, by whichever thread claims it first.
class PlaylistChunks
{
public:
    PlaylistChunks(const QUrl& origin, Utf8Check utf8) : m_origin(origin), m_utf8(utf8) {}

    // The reader's thread.

    // Room for the next chunk's text: a chunk read gives its memory back for the next, which spares the page faults
    // of new memory for every chunk.
    std::string spareText(std::size_t bytes);
    // The groups the chunks' readers make, room for about `titles` of them; made before the first chunk is added.
    void expectGroups(std::size_t titles) { m_made = std::make_unique<MadeGroups>(titles); }
    // `text` (whole lines) as the next chunk, to be read by readIfUnclaimed() or readRest().
    std::shared_ptr<PlaylistChunk> add(std::string text);
    bool isEmpty() const { return m_list.empty(); }
    // The chunks finished since the last call and before the first one still unfinished, in playlist order.
    std::vector<std::shared_ptr<PlaylistChunk>> takeFinished();
    // Reads every chunk no worker has begun, then waits for the others.
    void readRest();
    // Every chunk is read and joined: what they kept for one another goes.
    void release();
    // Rethrows the first failure a chunk met, if any.
    void rethrowFailure();
    bool failed() const { return m_failed; }
    const MadeGroups* made() const { return m_made.get(); }

    // Any thread.

    // Reads `chunk` unless another thread has claimed it.
    void readIfUnclaimed(PlaylistChunk& chunk);
    // The reader is gone (or cancelled): what is left unread stays so, and readers stop within a line.
    void abandon() { m_abandoned = true; }

private:
    void read(PlaylistChunk& chunk);

    const QUrl m_origin;
    const Utf8Check m_utf8;
    std::vector<std::shared_ptr<PlaylistChunk>> m_list; // the reader's thread alone changes it
    std::unique_ptr<MadeGroups> m_made;
    std::size_t m_takenFinished = 0; // the reader's thread alone
    std::mutex m_mutex;
    std::condition_variable m_finishedOne;
    std::size_t m_finishedCount = 0;   // under m_mutex
    std::exception_ptr m_firstFailure; // under m_mutex
    std::vector<std::string> m_spare;  // texts of chunks read, under m_mutex
    std::atomic<bool> m_failed = false;
    std::atomic<bool> m_abandoned = false;
};

} // namespace sendra::playlist
