#pragma once

#include "OrrinthCore/CatalogItem.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>
#include <utility>

namespace orrinth {

// Validated access details of one Xtream Codes panel. Derives the panel's playlist and stream addresses; touches
// no network. Addresses built here carry the password: never log or show them.
class XtreamCredentials
{
public:
    // Throws CredentialFailure unless the server is an http(s) address with a host and both texts are non-empty.
    XtreamCredentials(QUrl server, QString username, QString password);

    // Exactly as given: not reduced to its origin, path and query kept.
    const QUrl &server() const { return m_server; }
    const QString &username() const { return m_username; }
    const QString &password() const { return m_password; }

    // The panel's M3U playlist ("get.php" with type m3u_plus and output ts).
    QUrl playlistURL() const;

    // The item's own address when it has one; otherwise the live or film stream, or for a series the panel's
    // series-information request. Nothing for an item without a kind, or whose values cannot form a path.
    std::optional<QUrl> streamURL(const CatalogItem &item) const;

    // "series/<user>/<password>/<id>.<extension>" under the server. Nothing when a value cannot form a path.
    std::optional<QUrl> episodeURL(const QString &episodeID, const QString &extension) const;

    // "player_api.php" under the server with the credentials and then `items` as its query.
    QUrl apiURL(const QList<std::pair<QString, QString>> &items) const;

    friend bool operator==(const XtreamCredentials &a, const XtreamCredentials &b);

private:
    std::optional<QUrl> streamPath(const char *prefix, const QString &fileName) const;

    QUrl m_server;
    QString m_username;
    QString m_password;
};

} // namespace orrinth
