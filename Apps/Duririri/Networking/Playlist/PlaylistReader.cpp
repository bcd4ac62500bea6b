#include "Networking/PlaylistIngestor.h"

#include "Domain/CommandError.h"
#include "Networking/Playlist/EntryLine.h"
#include "Networking/Playlist/LineFramer.h"
#include "Networking/Playlist/LineReader.h"
#include "Networking/Playlist/MadeGroups.h"
#include "Networking/Playlist/ChunkJoin.h"
#include "Networking/Playlist/PlaylistChunks.h"
#include "NetKit/Workers.h"

#include <simdjson.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace sendra {

using playlist::LineFramer;
using playlist::LineReader;
using playlist::ChunkJoin;
using playlist::PlaylistChunk;
using playlist::PlaylistChunks;

// The text framed into whole lines, read on this thread or gathered into pieces read on workers and joined.
struct PlaylistReader::State {
    State(const QUrl& origin, bool strictUtf8, qsizetype pieceBytes, netkit::CancelToken token)
        : lines(origin), framer(strictUtf8, [this](std::string_view text) { take(text); }), join(origin),
          strictUtf8(strictUtf8), pieceBytes(std::size_t(std::max<qsizetype>(pieceBytes, 0))), token(std::move(token))
    {
        if (this->pieceBytes > 0) {
            pieces = std::make_shared<PlaylistChunks>(origin, strictUtf8);
            // Only a flag is set: the workers see it between lines.
            cancelled = this->token.onCancel([weak = std::weak_ptr<PlaylistChunks>(pieces)] {
                if (const auto shared = weak.lock())
                    shared->abandoned = true;
            });
        }
    }

    ~State()
    {
        if (pieces)
            pieces->abandoned = true;
    }

    void push(QByteArrayView data, qint64 declared)
    {
        netkit::throwIfCancelled(token);
        if (pieces && pieces->failed)
            rethrowFailure();
        declaredLength = declared;
        framer.push(std::string_view(data.data(), std::size_t(data.size())));
        if (pieces) {
            join.joinRead(*pieces);
            join.writeRows();
        }
    }

    NodeTable finish()
    {
        netkit::throwIfCancelled(token);
        framer.finish();
        if (!pieces)
            return lines.finish();
        // The last piece is read here, and so is every piece no worker has started yet.
        if (!current.empty() || pieces->list.empty())
            startPiece(false);
        for (const auto& piece : pieces->list)
            if (!piece->claimed.exchange(true))
                pieces->read(*piece);
        {
            std::unique_lock lock(pieces->mutex);
            pieces->finished.wait(lock, [this] { return pieces->done == pieces->list.size(); });
        }
        // A piece a worker gave up on is not to be joined.
        netkit::throwIfCancelled(token);
        join.joinRead(*pieces);
        {
            const std::lock_guard lock(pieces->mutex);
            pieces->spare.clear();
        }
        pieces->made.reset(); // every piece is read and joined
        return join.finish();
    }

    // Whole lines, in order.
    void take(std::string_view text)
    {
        if (!pieces) {
            if (strictUtf8 && !simdjson::validate_utf8(text.data(), text.size()))
                throw CommandFailure(CommandError::invalidResponse);
            lines.read(text, true, declaredLength);
            return;
        }
        if (current.capacity() == 0)
            current = pieces->spareText(pieceBytes + (std::size_t(1) << 16));
        current.append(text);
        if (current.size() >= pieceBytes)
            startPiece(true);
    }

    // The text gathered as a piece of its own, read on a worker of the background pool (`onWorker`) or later by
    // finish().
    void startPiece(bool onWorker)
    {
        auto piece = std::make_shared<PlaylistChunk>();
        if (pieces->list.empty()) {
            const qsizetype expectedRows =
                playlist::estimatedEntries(std::string_view(current).substr(0, 1 << 20), declaredLength);
            join.expectRows(expectedRows);
            // A playlist of unknown length is given room for tens of thousands of groups.
            pieces->made =
                std::make_unique<playlist::MadeGroups>(expectedRows > 0 ? std::size_t(expectedRows) : 1U << 15);
        }
        piece->text = std::move(current);
        current = {};
        piece->opening = pieces->list.empty();
        pieces->list.push_back(piece);
        // A piece no worker takes is left to finish(), which reads what nobody began.
        if (onWorker)
            (void)netkit::backgroundPool().start([shared = pieces, piece] {
                if (!piece->claimed.exchange(true))
                    shared->read(*piece);
            });
    }

    void rethrowFailure()
    {
        const std::lock_guard lock(pieces->mutex);
        if (pieces->firstFailure)
            std::rethrow_exception(pieces->firstFailure);
    }

    LineReader lines; // reading on one thread
    LineFramer framer;
    ChunkJoin join; // joining the pieces read
    bool strictUtf8;
    std::size_t pieceBytes;
    std::shared_ptr<PlaylistChunks> pieces; // reading on several
    std::string current;                    // the piece being gathered
    qint64 declaredLength = -1;
    netkit::CancelToken token;
    netkit::CancelRegistration cancelled;
};

PlaylistReader::PlaylistReader(const QUrl& origin, bool strictUtf8, qsizetype pieceBytes, netkit::CancelToken token)
    : m_state(std::make_unique<State>(origin, strictUtf8, pieceBytes, std::move(token)))
{}

PlaylistReader::~PlaylistReader() = default;

void PlaylistReader::push(QByteArrayView piece, qint64 declaredLength)
{
    m_state->push(piece, declaredLength);
}

NodeTable PlaylistReader::finish()
{
    return m_state->finish();
}

} // namespace sendra
