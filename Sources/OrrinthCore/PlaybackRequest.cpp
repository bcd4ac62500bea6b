#include "OrrinthCore/PlaybackRequest.h"

#include <cmath>
#include <utility>

namespace orrinth {

PlaybackRequest::PlaybackRequest(CatalogItem item, QUrl url, QList<QUrl> episodeURLs, qint64 episodeIndex,
                                 double resumeProgress)
    : m_id(QUuid::createUuid())
    , m_item(std::move(item))
    , m_url(std::move(url))
    , m_episodeURLs(std::move(episodeURLs))
    , m_episodeIndex(episodeIndex)
    , m_resumeProgress(clampedResumeProgress(resumeProgress))
{
}

double PlaybackRequest::clampedResumeProgress(double fraction)
{
    if (std::isnan(fraction) || fraction <= 0)
        return 0;
    return fraction > maximumResumeProgress ? maximumResumeProgress : fraction;
}

} // namespace orrinth
