#include "Networking/Playlist/PlaylistIngestor.h"

#include "Domain/CommandError.h"
#include "Networking/Playlist/ChunkJoin.h"
#include "Networking/Playlist/EntryLine.h"
#include "Networking/Playlist/LineFramer.h"
#include "Networking/Playlist/LineReader.h"
#include "Networking/Playlist/PlaylistChunks.h"
#include "NetKit/Workers.h"

#include <simdjson.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

namespace sendra {

using playlist::ChunkJoin;
using playlist::LineFramer;
using playlist::LineReader;
using playlist::PlaylistChunk;
using playlist::PlaylistChunks;
using playlist::TextStart;

// The text framed into whole lines, read on this thread or gathered into chunks read on workers and joined.
struct PlaylistReader::State {
    enum class ReadOn { worker, finish };

    State(const QUrl& origin, Utf8Check utf8, qsizetype chunkBytes, netkit::CancelToken token)
        : lines(origin), framer(utf8, [this](std::string_view text) { take(text); }), join(origin), utf8(utf8),
          chunkBytes(std::size_t(std::max<qsizetype>(chunkBytes, 0))), token(std::move(token))
    {
        if (this->chunkBytes > 0) {
            chunks = std::make_shared<PlaylistChunks>(origin, utf8);
            // Only a flag is set: the workers see it between lines.
            cancelled = this->token.onCancel([weak = std::weak_ptr<PlaylistChunks>(chunks)] {
                if (const auto shared = weak.lock())
                    shared->abandon();
            });
        }
    }

    ~State()
    {
        if (chunks)
            chunks->abandon();
    }

    void push(QByteArrayView data, qint64 declared)
    {
        netkit::throwIfCancelled(token);
        if (chunks && chunks->failed())
            chunks->rethrowFailure();
        declaredLength = declared;
        framer.push(std::string_view(data.data(), std::size_t(data.size())));
        if (chunks) {
            joinFinished();
            join.writeRows();
        }
    }

    NodeTable finish()
    {
        netkit::throwIfCancelled(token);
        framer.finish();
        if (!chunks)
            return lines.finish();
        // The last chunk is read here, and so is every chunk no worker has started yet.
        if (!current.empty() || chunks->isEmpty())
            startChunk(ReadOn::finish);
        chunks->readRest();
        // A chunk a worker gave up on is not to be joined.
        netkit::throwIfCancelled(token);
        joinFinished();
        chunks->release();
        return join.finish();
    }

    void joinFinished()
    {
        for (const auto& chunk : chunks->takeFinished())
            join.add(*chunk, chunks->made());
    }

    // Whole lines, in order.
    void take(std::string_view text)
    {
        if (!chunks) {
            if (utf8 == Utf8Check::strict && !simdjson::validate_utf8(text.data(), text.size()))
                throw CommandFailure(CommandError::invalidResponse);
            lines.read(text, TextStart::playlist, declaredLength);
            return;
        }
        if (current.capacity() == 0)
            current = chunks->spareText(chunkBytes + (std::size_t(1) << 16));
        current.append(text);
        if (current.size() >= chunkBytes)
            startChunk(ReadOn::worker);
    }

    // The text gathered as a chunk of its own, read on a worker of the background pool or by finish().
    void startChunk(ReadOn readOn)
    {
        if (chunks->isEmpty()) {
            const qsizetype expectedRows =
                playlist::estimatedEntries(std::string_view(current).substr(0, 1 << 20), declaredLength);
            join.expectRows(expectedRows);
            // A playlist of unknown length is given room for tens of thousands of groups.
            chunks->expectGroups(expectedRows > 0 ? std::size_t(expectedRows) : 1U << 15);
        }
        const std::shared_ptr<PlaylistChunk> chunk = chunks->add(std::move(current));
        current = {};
        // A chunk no worker takes is left to finish(), which reads what nobody began.
        if (readOn == ReadOn::worker)
            (void)netkit::backgroundPool().start([shared = chunks, chunk] { shared->readIfUnclaimed(*chunk); });
    }

    LineReader lines; // reading on one thread
    LineFramer framer;
    ChunkJoin join; // joining the chunks read
    Utf8Check utf8;
    std::size_t chunkBytes;
    std::shared_ptr<PlaylistChunks> chunks; // reading on several
    std::string current;                    // the chunk being gathered
    qint64 declaredLength = -1;
    netkit::CancelToken token;
    netkit::CancelRegistration cancelled;
};

PlaylistReader::PlaylistReader(const QUrl& origin, Utf8Check utf8, qsizetype chunkBytes, netkit::CancelToken token)
    : m_state(std::make_unique<State>(origin, utf8, chunkBytes, std::move(token)))
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
