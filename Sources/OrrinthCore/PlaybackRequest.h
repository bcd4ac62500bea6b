#pragma once

#include "OrrinthCore/CatalogItem.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

namespace orrinth {

// One playback handed to the player. Every request gets a fresh id, even for identical arguments.
class PlaybackRequest
{
public:
    // Highest resume point: a start closer to the end than this would only show the credits.
    static constexpr double maximumResumeProgress = 0.94;

    PlaybackRequest(CatalogItem item, QUrl url, QList<QUrl> episodeURLs, qint64 episodeIndex,
                    double resumeProgress);

    const QUuid &id() const { return m_id; }
    const QString &contentID() const { return m_item.id(); }
    const QString &title() const { return m_item.name(); }
    const QUrl &url() const { return m_url; }
    const CatalogItem &item() const { return m_item; }
    const QList<QUrl> &episodeURLs() const { return m_episodeURLs; }
    // Not checked against episodeURLs.
    qint64 episodeIndex() const { return m_episodeIndex; }
    // Always within 0 ... 0.94.
    double resumeProgress() const { return m_resumeProgress; }

    // The clamp the request applies; a NaN counts as no progress.
    static double clampedResumeProgress(double fraction);

private:
    QUuid m_id;
    CatalogItem m_item;
    QUrl m_url;
    QList<QUrl> m_episodeURLs;
    qint64 m_episodeIndex;
    double m_resumeProgress;
};

} // namespace orrinth
