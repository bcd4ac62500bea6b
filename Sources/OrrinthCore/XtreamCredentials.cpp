#include "OrrinthCore/XtreamCredentials.h"

#include "OrrinthCore/CoreErrors.h"
#include "NetKit/UrlCodec.h"

namespace orrinth {

namespace {

// A user name or password as one path segment: what a segment may hold stays as typed ("ana@mail.com" must
// reach the panel as the same text it has on file); "/", "%", "?", "#", spaces, controls, non-ASCII and the
// few characters no path may hold are encoded. "." and ".." cannot be a segment at all.
std::optional<QByteArray> credentialSegment(const QString &value)
{
    if (value.isEmpty() || value == QLatin1String(".") || value == QLatin1String(".."))
        return std::nullopt;
    return QUrl::toPercentEncoding(value, QByteArrayLiteral("!$&'()*+,;=:@"));
}

} // namespace

XtreamCredentials::XtreamCredentials(QUrl server, QString username, QString password)
    : m_server(std::move(server))
    , m_username(std::move(username))
    , m_password(std::move(password))
{
    const QString scheme = m_server.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || m_server.host().isEmpty()
        || m_username.isEmpty() || m_password.isEmpty())
        throw CredentialFailure();
}

bool operator==(const XtreamCredentials &a, const XtreamCredentials &b)
{
    return a.m_server.toEncoded() == b.m_server.toEncoded() && a.m_username == b.m_username
        && a.m_password == b.m_password;
}

QUrl XtreamCredentials::playlistURL() const
{
    return netkit::withQuery(netkit::appendingPath(m_server, "get.php"),
                             {{QStringLiteral("username"), m_username},
                              {QStringLiteral("password"), m_password},
                              {QStringLiteral("type"), QStringLiteral("m3u_plus")},
                              {QStringLiteral("output"), QStringLiteral("ts")}});
}

QUrl XtreamCredentials::apiURL(const QList<std::pair<QString, QString>> &items) const
{
    QList<netkit::QueryItem> query{{QStringLiteral("username"), m_username},
                                   {QStringLiteral("password"), m_password}};
    query.append(items);
    return netkit::withQuery(netkit::appendingPath(m_server, "player_api.php"), query);
}

std::optional<QUrl> XtreamCredentials::streamPath(const char *prefix, const QString &fileName) const
{
    // Each value is one segment: a "/" in a password must not add a path level.
    const auto user = credentialSegment(m_username);
    const auto password = credentialSegment(m_password);
    const auto file = netkit::encodePathSegment(fileName);
    if (!user || !password || !file)
        return std::nullopt;
    QUrl url = netkit::appendingPath(m_server, QByteArray(prefix) + '/' + *user + '/' + *password + '/' + *file);
    // Some panels put a token in their address's query; the stream request needs it as much as the API does.
    if (m_server.hasQuery())
        url.setQuery(m_server.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

std::optional<QUrl> XtreamCredentials::streamURL(const CatalogItem &item) const
{
    if (item.sourceURL())
        return item.sourceURL();
    if (!item.kind())
        return std::nullopt;
    switch (*item.kind()) {
    case ContentKind::live:
        return streamPath("live", item.id() + QStringLiteral(".ts"));
    case ContentKind::movie: {
        const QString extension = item.extensionName().isEmpty() ? QStringLiteral("mp4") : item.extensionName();
        return streamPath("movie", item.id() + u'.' + extension);
    }
    case ContentKind::series:
        // A series has no single stream: this asks for its details, where the episode addresses are.
        return apiURL({{QStringLiteral("action"), QStringLiteral("get_series_info")},
                       {QStringLiteral("series_id"), item.id()}});
    }
    return std::nullopt;
}

std::optional<QUrl> XtreamCredentials::episodeURL(const QString &episodeID, const QString &extension) const
{
    return streamPath("series", episodeID + u'.' + extension);
}

} // namespace orrinth
