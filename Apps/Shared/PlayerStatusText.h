#pragma once

#include <QString>

namespace sendra::playback {

// The player's status texts. They are the Spanish keys of the player's own English table, which does not go
// through the application's text lookup.
namespace status {
inline const QString preparing = QStringLiteral("Preparando reproducción…");
inline const QString loadingEpisode = QStringLiteral("Cargando episodio…");
inline const QString opening = QStringLiteral("Abriendo contenido…");
inline const QString loadingVideo = QStringLiteral("Cargando video…");
inline const QString playing = QStringLiteral("Reproduciendo");
inline const QString interrupted = QStringLiteral("La reproducción se interrumpió. Inténtalo nuevamente.");
inline const QString stopped = QStringLiteral("Reproducción detenida");
} // namespace status

inline constexpr int maximumReconnectAttempts = 4;

// "Reconectando… (n/4)".
QString reconnectionStatus(int attempt);

// What the status box shows for `statusMessage` in a locale whose language code is `languageCode`.
QString localizedStatusMessage(const QString &statusMessage, const QString &languageCode);

// "m:ss" below an hour, "h:mm:ss" from then on; "0:00" for negative or non-finite values.
QString formattedTime(double seconds);

// Fills each "%lld" of a looked-up format, in order, with a number written in the given language.
QString formatCounts(QString format, const QString &languageCode, std::initializer_list<qint64> counts);

} // namespace sendra::playback
