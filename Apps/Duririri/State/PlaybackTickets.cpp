#include "State/PlaybackTickets.h"

#include <algorithm>
#include <cmath>

namespace sendra {

double finiteFraction(double fraction)
{
    return std::isfinite(fraction) ? fraction : 0.0;
}

double resumeStart(double fraction)
{
    return std::clamp(finiteFraction(fraction), 0.0, 0.94);
}

PlaybackTicket issueTicket(const MediaNode& node, const QUrl& stream, QList<QUrl> episodes, int episodeIndex,
                           double resumeFraction)
{
    PlaybackTicket ticket;
    ticket.id = QUuid::createUuid();
    ticket.node = node;
    ticket.stream = stream;
    ticket.nativeStream = PlaybackTicket::nativeAlternative(node, stream);
    ticket.episodes = std::move(episodes);
    ticket.episodeIndex = episodeIndex;
    ticket.resumeFraction = resumeFraction;
    return ticket;
}

QList<QUrl> episodeStreams(const ContentBrief& brief)
{
    QList<QUrl> streams;
    for (const SeasonBundle& season : brief.seasons) {
        for (const EpisodeNode& episode : season.episodes)
            streams.append(episode.stream);
    }
    return streams;
}

} // namespace sendra
