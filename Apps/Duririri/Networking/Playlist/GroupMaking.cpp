#include "Networking/Playlist/GroupMaking.h"

#include "Domain/CenterContentPolicy.h"

namespace sendra::playlist {

MadeGroup makeGroup(std::string_view key)
{
    QString name = QString::fromUtf8(key.data(), qsizetype(key.size()));
    QString id = QStringLiteral("group:") + name.toLower();
    const KindHint hint = kindHint(CenterContentPolicy::normalize(name).toStdString());
    return {std::move(id), std::move(name), hint};
}

} // namespace sendra::playlist
