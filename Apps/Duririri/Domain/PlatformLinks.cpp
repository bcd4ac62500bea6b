#include "Domain/PlatformLinks.h"

namespace sendra {

QUrl PlatformLinks::accessBase()
{
    const QString configured = qEnvironmentVariable("SENDRA_PLATFORM_ACCESS_BASE");
    return QUrl(configured.isEmpty() ? QStringLiteral(SENDRA_PLATFORM_ACCESS_BASE) : configured);
}

QUrl PlatformLinks::privacy()
{
    const QUrl base = accessBase();
    QUrl page;
    page.setScheme(QStringLiteral("https"));
    page.setHost(base.host());
    page.setPort(base.port());
    page.setPath(QStringLiteral("/platform/privacy"));
    return page;
}

QUrl PlatformLinks::support()
{
    return QUrl(QStringLiteral("mailto:" SENDRA_SUPPORT_MAILBOX));
}

std::optional<QUrl> PlatformLinks::safeWebURL(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    const QUrl address(*text, QUrl::StrictMode);
    if (!address.isValid() || address.scheme().toLower() != u"https" || address.host().isEmpty()
        || !address.userName().isEmpty() || !address.password().isEmpty())
        return std::nullopt;
    return address;
}

} // namespace sendra
