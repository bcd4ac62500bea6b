#include "OrrinthCore/Addresses.h"

#include "NetKit/Origin.h"

namespace orrinth {

std::optional<QUrl> parseAddress(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

QUrl normalizedAddress(const QUrl &url)
{
    return netkit::normalizedOrigin(url);
}

std::optional<QString> reducedOrigin(const QUrl &url)
{
    const auto origin = netkit::originOf(url);
    if (!origin)
        return std::nullopt;
    QString text = QString::fromUtf8(origin->toEncoded()).toLower();
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u'/')
        ++begin;
    while (end > begin && text.at(end - 1) == u'/')
        --end;
    if (begin == end)
        return std::nullopt;
    return text.mid(begin, end - begin);
}

bool sameOrigin(const QUrl &a, const QUrl &b)
{
    const auto left = reducedOrigin(a);
    return left && left == reducedOrigin(b);
}

} // namespace orrinth
