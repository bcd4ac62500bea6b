#pragma once

#include "Networking/Playlist/KindHint.h"

#include <QString>

#include <string_view>

namespace sendra::playlist {

// What a group's title makes of it: the costly part of a new group, which needs nothing but the title.
struct MadeGroup {
    QString id;
    QString name;
    KindHint hint = KindHint::none;
};

MadeGroup makeGroup(std::string_view key);

} // namespace sendra::playlist
