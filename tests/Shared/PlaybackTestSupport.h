#pragma once

#include "Shared/PlaybackTypes.h"
#include "Shared/VlcEngine.h"

#include "OrrinthCore/PlaybackRequest.h"

#include <QtTest/QTest>

#include <optional>

namespace sendra::playback::testing {

// No sound device here: without a dummy output libvlc complains about ALSA on every opening.
inline void useDummyAudio()
{
    VlcEngine::setInstanceArguments({QStringLiteral("--aout=adummy")});
}

// The player's real delays, shortened so a test sees the whole start-up and reconnection chain in seconds.
inline PlaybackTimings quickTimings()
{
    PlaybackTimings t;
    t.frameMonitor = std::chrono::milliseconds(20);
    t.nativeTimeline = std::chrono::milliseconds(50);
    t.progressThrottle = std::chrono::milliseconds(500);
    t.liveStartupWatchdog = std::chrono::milliseconds(8000);
    t.startupWatchdog = std::chrono::milliseconds(8000);
    t.fallbackWatchdog = std::chrono::milliseconds(8000);
    t.stallWatchdog = std::chrono::milliseconds(8000);
    t.liveReconnectStep = std::chrono::milliseconds(50);
    t.reconnectStep = std::chrono::milliseconds(20);
    t.controlsHide = std::chrono::milliseconds(150);
    t.probeRequestTimeout = std::chrono::milliseconds(1000);
    t.probeResourceTimeout = std::chrono::milliseconds(1500);
    return t;
}

inline orrinth::PlaybackRequest makeRequest(const QUrl &url, std::optional<orrinth::ContentKind> kind,
                                            double resume = 0, QList<QUrl> episodes = {}, qint64 index = 0)
{
    const QString path = url.path();
    orrinth::CatalogItem item(QStringLiteral("42"), QStringLiteral("Prueba"), QStringLiteral("1"),
                              QStringLiteral("Pruebas"), std::nullopt, path.mid(path.lastIndexOf(u'.') + 1), kind,
                              std::nullopt);
    return orrinth::PlaybackRequest(item, url, std::move(episodes), index, resume);
}

template <typename Predicate>
bool waitUntil(Predicate predicate, int milliseconds = 10000)
{
    return QTest::qWaitFor(predicate, milliseconds);
}

} // namespace sendra::playback::testing
