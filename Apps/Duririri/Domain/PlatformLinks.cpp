#include "Domain/PlatformLinks.h"

#include <QStringList>

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

std::optional<QUrl> PlatformLinks::safeMailURL(const QUrl& address)
{
    // Recipients that hide a query of their own ("%3Fattach=") are refused: some programs decode before
    // they split.
    const QString recipients = address.path();
    if (!address.isValid() || address.scheme().toLower() != u"mailto" || recipients.isEmpty()
        || recipients.contains(u'?') || recipients.contains(u'&'))
        return std::nullopt;
    static const QStringList keptFields{QStringLiteral("to"), QStringLiteral("subject"), QStringLiteral("body"),
                                        QStringLiteral("cc"), QStringLiteral("bcc")};
    // The fields are kept as they were encoded; names are matched however they were written.
    QStringList fields;
    for (const QString& field : address.query(QUrl::FullyEncoded).split(u'&', Qt::SkipEmptyParts)) {
        const QString name = QUrl::fromPercentEncoding(field.section(u'=', 0, 0).toUtf8()).toLower();
        if (keptFields.contains(name))
            fields.append(field);
    }
    QString text = QStringLiteral("mailto:") + address.path(QUrl::FullyEncoded);
    if (!fields.isEmpty())
        text += u'?' + fields.join(u'&');
    const QUrl safe(text, QUrl::StrictMode);
    if (!safe.isValid())
        return std::nullopt;
    return safe;
}

} // namespace sendra
