#include "Shared/PlayerStatusText.h"

#include <QHash>
#include <QLocale>

#include <cmath>

namespace sendra::playback {

namespace {

const QString reconnectingPrefix = QStringLiteral("Reconectando…");

const QHash<QString, QString> &englishStatus()
{
    static const QHash<QString, QString> table{
        {status::preparing, QStringLiteral("Preparing playback…")},
        {status::loadingEpisode, QStringLiteral("Loading episode…")},
        {status::opening, QStringLiteral("Opening content…")},
        {status::loadingVideo, QStringLiteral("Loading video…")},
        {status::playing, QStringLiteral("Playing")},
        {status::interrupted, QStringLiteral("Playback was interrupted. Try again.")},
        {status::stopped, QStringLiteral("Playback stopped")},
    };
    return table;
}

} // namespace

QString reconnectionStatus(int attempt)
{
    return QStringLiteral("%1 (%2/%3)").arg(reconnectingPrefix).arg(attempt).arg(maximumReconnectAttempts);
}

QString localizedStatusMessage(const QString &statusMessage, const QString &languageCode)
{
    if (languageCode != QLatin1String("en"))
        return statusMessage;
    if (statusMessage.startsWith(reconnectingPrefix))
        return QString(statusMessage).replace(reconnectingPrefix, QStringLiteral("Reconnecting…"));
    return englishStatus().value(statusMessage, statusMessage);
}

QString formattedTime(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return QStringLiteral("0:00");
    const qint64 total = qint64(std::floor(seconds));
    const qint64 hours = total / 3600;
    const qint64 minutes = (total % 3600) / 60;
    const qint64 secs = total % 60;
    if (total < 3600)
        return QStringLiteral("%1:%2").arg(total / 60).arg(secs, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(secs, 2, 10, QLatin1Char('0'));
}

QString formatCounts(QString format, const QString &languageCode, std::initializer_list<qint64> counts)
{
    const QLocale locale(languageCode == QLatin1String("en") ? QStringLiteral("en") : QStringLiteral("es"));
    qsizetype from = 0;
    for (const qint64 count : counts) {
        const qsizetype at = format.indexOf(QLatin1String("%lld"), from);
        if (at < 0)
            break;
        const QString number = locale.toString(count);
        format.replace(at, 4, number);
        from = at + number.size();
    }
    return format;
}

} // namespace sendra::playback
