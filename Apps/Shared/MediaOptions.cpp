#include "Shared/MediaOptions.h"

namespace sendra::playback {

QString fileExtension(const QUrl &url)
{
    const QString path = url.path();
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

bool isLiveAddress(const QUrl &url)
{
    return url.path().toLower().contains(QLatin1String("/live/"));
}

std::optional<QString> refererFor(const QUrl &url)
{
    if (url.scheme().isEmpty() || url.host().isEmpty())
        return std::nullopt;
    QUrl origin;
    origin.setScheme(url.scheme());
    origin.setHost(url.host());
    origin.setPort(url.port());
    origin.setPath(QStringLiteral("/"));
    return origin.toString(QUrl::FullyEncoded);
}

QStringList configuredMediaOptions(const QUrl &openURL, const QUrl &requestedURL)
{
    const bool live = isLiveAddress(openURL);
    const QString caching = live ? QStringLiteral("2500") : QStringLiteral("900");
    QStringList options{
        QStringLiteral(":http-user-agent=") + QLatin1String(clientIdentity),
        QStringLiteral(":http-reconnect"),
        QStringLiteral(":network-caching=") + caching,
        QStringLiteral(":live-caching=") + caching,
        QStringLiteral(":clock-jitter=0"),
        QStringLiteral(":clock-synchro=0"),
    };
    if (fileExtension(openURL) == QLatin1String("ts"))
        // No ":http-continuous": with it libvlc 3 reads through its older HTTP access, whose prefetch thread can
        // crash the process when a live channel's server stops mid-read. A channel that ends is reopened by the
        // controller's live reconnection instead.
        options << QStringLiteral(":demux=ts");
    if (const auto referer = refererFor(requestedURL))
        options << QStringLiteral(":http-referrer=") + *referer;
    return options;
}

} // namespace sendra::playback
