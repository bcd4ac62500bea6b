#include "UI/Links.h"

#include "Domain/PlatformLinks.h"

#include <QDesktopServices>

namespace sendra::ui {

Links::Links(QObject* parent) : QObject(parent)
{}

bool Links::isOpenable(const QUrl& address)
{
    if (!address.isValid())
        return false;
    const QString scheme = address.scheme().toLower();
    if (scheme == u"http" || scheme == u"https")
        return !address.host().isEmpty();
    return scheme == u"mailto" && !address.path().isEmpty();
}

bool Links::open(const QString& address) const
{
    const QUrl url(address.trimmed());
    if (!isOpenable(url))
        return false;
    if (url.scheme().toLower() != u"mailto")
        return QDesktopServices::openUrl(url);
    const std::optional<QUrl> mail = PlatformLinks::safeMailURL(url);
    return mail && QDesktopServices::openUrl(*mail);
}

} // namespace sendra::ui
