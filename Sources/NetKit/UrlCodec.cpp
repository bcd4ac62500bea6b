#include "NetKit/UrlCodec.h"

namespace netkit {

QByteArray encodeQueryComponent(const QString& value)
{
    return QUrl::toPercentEncoding(value);
}

QByteArray encodeQuery(const QList<QueryItem>& items)
{
    QByteArray query;
    for (const auto& [key, value] : items) {
        if (!query.isEmpty())
            query += '&';
        query += encodeQueryComponent(key);
        query += '=';
        query += encodeQueryComponent(value);
    }
    return query;
}

QUrl withQuery(QUrl url, const QList<QueryItem>& items)
{
    if (items.isEmpty()) {
        url.setQuery(QString());
        return url;
    }
    // Already fully encoded: StrictMode keeps every "%XX" as it is.
    url.setQuery(QString::fromLatin1(encodeQuery(items)), QUrl::StrictMode);
    return url;
}

std::optional<QByteArray> encodePathSegment(const QString& segment)
{
    if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
        return std::nullopt;
    return QUrl::toPercentEncoding(segment);
}

QUrl appendingPath(const QUrl& base, const QByteArray& relativePath)
{
    QByteArray path = base.path(QUrl::FullyEncoded).toLatin1();
    if (!path.endsWith('/'))
        path += '/';
    path += relativePath;
    QUrl url = base;
    url.setQuery(QString());
    url.setFragment(QString());
    url.setPath(QString::fromLatin1(path), QUrl::StrictMode);
    return url;
}

bool isNetworkStreamScheme(QStringView scheme)
{
    for (const char16_t* known : {u"http", u"https", u"rtmp", u"rtmps", u"rtsp", u"rtp", u"udp", u"mms", u"mmsh"})
        if (scheme == QStringView(known))
            return true;
    return false;
}

} // namespace netkit
