#pragma once

#include "Domain/CatalogTypes.h"
#include "Networking/Playlist/PlaylistBuilder.h"

#include <QByteArray>
#include <QUrl>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace sendra::playlist {

// Whether the first text a line reader is given opens the playlist.
enum class TextStart { playlist, midway };

// Whole lines of a playlist read into entries, in order: the information line met last waits for the next address
// line.
class LineReader
{
public:
    // With `stop`, reading ends early once it is set (the reader is gone); `grouping` as PlaylistBuilder's.
    explicit LineReader(const QUrl& origin, const std::atomic<bool>* stop = nullptr, Grouping grouping = Grouping::made)
        : builder(origin, grouping), m_stop(stop)
    {}

    // `text` holds whole lines; at the playlist's start a byte-order mark is dropped. `expectedBytes` (or -1) is
    // how much text this reader will be given, so the entries are allocated once.
    void read(std::string_view text, TextStart start, qint64 expectedBytes);

    NodeTable finish()
    {
        builder.nodes.releaseSpare();
        return std::move(builder.nodes);
    }

    bool metInformation() const { return m_metInformation; }
    // The first address line before any information line.
    std::optional<std::string>& firstAddress() { return m_firstAddress; }
    // The information line still waiting for its address line.
    std::optional<std::string> waiting() const
    {
        return m_hasPending ? std::optional<std::string>(m_pending) : std::nullopt;
    }

    PlaylistBuilder builder;

private:
    const std::atomic<bool>* m_stop;
    bool m_started = false;
    std::string_view m_pending;
    bool m_hasPending = false;
    bool m_metInformation = false;
    std::string m_keptPending;
    std::optional<std::string> m_firstAddress;
    QByteArray m_scratch;
};

} // namespace sendra::playlist
