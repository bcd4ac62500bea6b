#pragma once

#include "Domain/SeededTable.h"
#include "Networking/Playlist/GroupMaking.h"

#include <algorithm>
#include <cstddef>

namespace sendra::playlist {

// The groups made while a playlist's chunks are read: each title is claimed by the first chunk to meet it, which
// makes its group on its own worker, so that joining the chunks finds the group made. (A playlist sorted by group
// meets most titles in one chunk only; joining them one by one on one thread made every group there.) Titles are
// claimed by hash alone: a title whose hash another title claimed first is made where the chunks are joined.
// The room is fixed: once half of it is claimed, chunks make the titles they meet first themselves.
class MadeGroups : public SeededClaims<MadeGroup>
{
public:
    explicit MadeGroups(std::size_t titles)
        : SeededClaims(std::clamp<std::size_t>(titles * 2, 1024, std::size_t(1) << 18))
    {}
};

} // namespace sendra::playlist
