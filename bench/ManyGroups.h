#pragma once

#include <QByteArray>

namespace bench {

// `playlist`'s entries with their group titles drawn among `groups` titles: drawn anew for every entry (scattered),
// or the same entries listed group by group (sorted). Real playlists of 600k entries carry 15,000 to 50,000 groups;
// a piece read apart meets most of them.
QByteArray regroupedPlaylist(const QByteArray& playlist, int groups, bool sorted);

} // namespace bench
