#include "State/PlaybackTickets.h"

#include <algorithm>
#include <cmath>

namespace sendra {

namespace {

// The encoded path's last segment (trailing slashes aside): where it starts and where it ends.
std::pair<qsizetype, qsizetype> lastSegment(const QString& path)
{
    qsizetype end = path.size();
    while (end > 0 && path.at(end - 1) == u'/')
        --end;
    return {path.lastIndexOf(u'/', end - 1) + 1, end};
}

} // namespace

std::optional<QUrl> nativeAlternative(const MediaNode& node, const QUrl& stream)
{
    if (node.kind != SignalKind::broadcast)
        return PlaybackTicket::nativeVODCandidate(node, stream);
    // Work on the encoded path so that escapes elsewhere in it stay as they are.
    QString path = stream.path(QUrl::FullyEncoded);
    const auto [start, end] = lastSegment(path);
    const qsizetype dot = path.lastIndexOf(u'.', end - 1);
    // A name that is only an extension (".ts") has none, as a file name.
    if (dot <= start || QStringView(path).sliced(dot + 1, end - dot - 1).compare(u"ts", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    path.replace(dot + 1, end - dot - 1, QStringLiteral("m3u8"));
    QUrl native = stream;
    native.setPath(path, QUrl::StrictMode);
    return native;
}

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
    ticket.nativeStream = nativeAlternative(node, stream);
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
