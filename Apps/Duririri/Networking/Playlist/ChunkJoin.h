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

// The pieces read, joined in order into the playlist's entries, as reading the text on one thread would have made
// them: each group made once and numbered in the order met, and an information line one piece leaves waiting given
// the address line the next piece opens with.
class ChunkJoin
{
public:
    explicit ChunkJoin(const QUrl& origin) : m_origin(origin) {}

    // About how many entries the whole playlist holds (0 when unknown), so the joined rows are allocated once.
    void expectRows(qsizetype rows) { m_expectedRows = rows; }

    // The pieces read so far, in order, joined to the entries: each piece's own table goes as soon as it is joined,
    // and the last ones are left for when every piece is read. Rethrows a piece's failure.
    void joinRead(PlaylistChunks& pieces);
    // While the text arrives there is time to write the rows here, and each piece's own rows go at once.
    void writeRows();
    // Every piece joined: the rows still to write written on several threads, and the entries.
    NodeTable finish();

private:
    void join(NodeTable&& nodes, GroupBook& groups, const MadeGroups* made);

    const QUrl m_origin;
    NodeTable m_joined;
    GroupBook m_groups;
    std::vector<NodeTable::Adoption> m_adoptions; // rows still to write
    std::size_t m_joinedPieces = 0;
    std::optional<std::string> m_waiting; // the information line the pieces joined leave waiting
    qsizetype m_expectedRows = 0;
};

} // namespace sendra::playlist
