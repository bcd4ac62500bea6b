#pragma once

#include "Domain/CatalogTypes.h"
#include "Networking/Playlist/GroupBook.h"
#include "Networking/Playlist/MadeGroups.h"
#include "Networking/Playlist/PlaylistChunks.h"

#include <QUrl>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace sendra::playlist {

// The chunks read, joined in order into the playlist's entries, as reading the text on one thread would have made
// them: each group made once and numbered in the order met, and an information line one chunk leaves waiting given
// the address line the next chunk opens with. It is handed finished chunks only, and shares nothing with the
// threads that read them.
class ChunkJoin
{
public:
    explicit ChunkJoin(const QUrl& origin) : m_origin(origin) {}

    // About how many entries the whole playlist holds (0 when unknown), so the joined rows are allocated once.
    void expectRows(qsizetype rows) { m_expectedRows = rows; }

    // The next chunk, read, joined to the entries (its own table goes at once); `made` holds the groups the
    // chunks' readers made. Rethrows the chunk's failure.
    void add(PlaylistChunk& chunk, const MadeGroups* made);
    // While the text arrives there is time to write the rows here, and each chunk's own rows go at once.
    void writeRows();
    // Every chunk joined: the rows still to write written on several threads, and the entries.
    NodeTable finish();

private:
    void join(NodeTable&& nodes, GroupBook& groups, const MadeGroups* made);

    const QUrl m_origin;
    NodeTable m_joined;
    GroupBook m_groups;
    std::vector<NodeTable::Adoption> m_adoptions; // rows still to write
    std::optional<std::string> m_waiting;         // the information line the chunks joined leave waiting
    qsizetype m_expectedRows = 0;
};

} // namespace sendra::playlist
