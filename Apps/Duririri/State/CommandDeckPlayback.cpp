// Details, playback tickets and resume points. The deck plays nothing itself: it publishes one ticket at a time
// and records how far each entry was played. Lookups run in the detail and playback slots; a lookup cancelled by
// the user's own next action ends silently, whatever the network reported.
#include "State/CommandDeck.h"
#include "State/DeckLog.h"

#include "Domain/CommandError.h"
#include "Domain/StoredJson.h"
#include "State/CatalogSnapshot.h"
#include "State/PlaybackTickets.h"
#include "State/ViewerMarks.h"
#include "Storage/CommandVault.h"

#include <QPointer>

namespace sendra {

namespace {

using netkit::CancelToken;
using netkit::throwIfCancelled;

constexpr double startingFraction = 0.01;
constexpr double finishedFraction = 0.95;
constexpr qsizetype storedMarkers = 30;

// Films and everything else share "movies"; the details of a series are kept apart.
QString briefKey(const MediaNode& node)
{
    return (node.kind == SignalKind::episodic ? QStringLiteral("series:") : QStringLiteral("movies:")) + node.id;
}

bool isSelected(const std::optional<MediaNode>& selected, const MediaNode& node)
{
    return selected && selected->catalogKey() == node.catalogKey();
}

} // namespace

void CommandDeck::open(const MediaNode& node)
{
    if (node.kind == SignalKind::broadcast) {
        play(node);
        return;
    }
    const Batch batch(*this);
    setSelectedNode(node);
    if (const auto cached = m_briefCache.constFind(briefKey(node)); cached != m_briefCache.cend()) {
        // A load already under way is left to finish: it only fills the cache.
        assign(m_selectedBrief, std::optional<ContentBrief>(*cached), {&CommandDeck::selectedBriefChanged});
        assign(m_isLoadingBrief, false, {&CommandDeck::isLoadingBriefChanged});
        return;
    }
    const std::optional<ContentBrief> placeholder =
        node.kind == SignalKind::cinema ? std::optional<ContentBrief>(ContentBrief::empty()) : std::nullopt;
    assign(m_selectedBrief, placeholder, {&CommandDeck::selectedBriefChanged});
    assign(m_isLoadingBrief, true, {&CommandDeck::isLoadingBriefChanged});
    m_detailTask.start([this, node](CancelToken token) { return detailsTask(node, std::move(token)); });
}

QCoro::Task<void> CommandDeck::detailsTask(MediaNode node, CancelToken token)
{
    const QPointer<CommandDeck> self(this);
    std::optional<ContentBrief> brief;
    try {
        if (m_provider) {
            const ProviderSession provider = *m_provider;
            brief = co_await m_clients.xtream->details(node, provider, token);
        } else {
            brief = ContentBrief::empty();
        }
    } catch (...) {
        brief.reset();
        if (!token.isCancelled())
            qCWarning(deckLog, "Sendra: the details of an entry could not be loaded");
    }
    if (!self || token.isCancelled())
        co_return;
    // Cached even when the sheet has moved on: opening the entry again needs no request.
    if (brief)
        m_briefCache.insert(briefKey(node), *brief);
    if (!isSelected(m_selectedNode, node))
        co_return;
    const Batch batch(*this);
    assign(m_selectedBrief, std::optional<ContentBrief>(brief.value_or(ContentBrief::empty())),
           {&CommandDeck::selectedBriefChanged});
    assign(m_isLoadingBrief, false, {&CommandDeck::isLoadingBriefChanged});
}

void CommandDeck::play(const MediaNode& node)
{
    m_playbackTask.cancel();
    const Batch batch(*this);
    setPlaybackMessage(std::nullopt);
    assign(m_playback, std::optional<PlaybackTicket>(), {&CommandDeck::playbackChanged});
    assign(m_playbackMinimized, false, {&CommandDeck::playbackMinimizedChanged});
    if (node.directURL) {
        startPlayback(issueTicket(node, *node.directURL));
        return;
    }
    if (m_provider) {
        if (std::optional<PlaybackTicket> ticket = m_clients.xtream->immediateStream(node, *m_provider)) {
            startPlayback(std::move(*ticket));
            return;
        }
    }
    m_playbackTask.start([this, node](CancelToken token) { return lookupTask(node, std::move(token)); });
}

QCoro::Task<void> CommandDeck::lookupTask(MediaNode node, CancelToken token)
{
    const QPointer<CommandDeck> self(this);
    std::exception_ptr failure;
    try {
        if (!m_provider)
            throw CommandFailure(CommandError::playbackUnavailable);
        const ProviderSession provider = *m_provider;
        PlaybackTicket ticket = co_await m_clients.xtream->stream(node, provider, token);
        throwIfCancelled(token);
        startPlayback(std::move(ticket));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !failure || token.isCancelled())
        co_return;
    setPlaybackMessage(failureMessage(failure, L10n::noop("No fue posible reproducir.")));
}

void CommandDeck::startPlayback(PlaybackTicket ticket)
{
    const Batch batch(*this);
    const MediaNode node = ticket.node;
    const int episodeIndex = ticket.episodeIndex;
    assign(m_playback, std::optional<PlaybackTicket>(std::move(ticket)), {&CommandDeck::playbackChanged});
    assign(m_playbackMinimized, false, {&CommandDeck::playbackMinimizedChanged});
    addResume(node, startingFraction, episodeIndex);
}

void CommandDeck::playEpisode(const EpisodeNode& episode)
{
    if (!m_selectedNode || !m_selectedBrief)
        return;
    m_playbackTask.cancel();
    QList<QUrl> episodes = episodeStreams(*m_selectedBrief);
    const qsizetype position = episodes.indexOf(episode.stream);
    if (position < 0)
        return;
    const MediaNode series = *m_selectedNode;
    const Batch batch(*this);
    setSelectedNode(std::nullopt);
    startPlayback(issueTicket(series, episode.stream, std::move(episodes), int(position)));
}

void CommandDeck::advanceEpisode(int offset)
{
    if (!m_playback || m_playback->episodes.isEmpty())
        return;
    const qint64 target = qint64(m_playback->episodeIndex) + offset;
    if (target < 0 || target >= m_playback->episodes.size())
        return;
    const PlaybackTicket current = *m_playback;
    const Batch batch(*this);
    // Written again unchanged: the playback stays where it is, embedded or floating.
    const bool minimized = m_playbackMinimized;
    assign(m_playback,
           std::optional<PlaybackTicket>(
               issueTicket(current.node, current.episodes.at(target), current.episodes, int(target))),
           {&CommandDeck::playbackChanged});
    assign(m_playbackMinimized, minimized, {&CommandDeck::playbackMinimizedChanged});
    addResume(current.node, startingFraction, int(target));
}

void CommandDeck::recordProgress(double progress)
{
    if (!m_playback || !(finiteFraction(progress) > 0))
        return;
    const std::optional<int> episode =
        m_playback->episodes.isEmpty() ? std::nullopt : std::optional<int>(m_playback->episodeIndex);
    addResume(m_playback->node, progress, episode);
}

void CommandDeck::closePlayback(double progress)
{
    m_playbackTask.cancel();
    const Batch batch(*this);
    recordProgress(progress);
    assign(m_playback, std::optional<PlaybackTicket>(), {&CommandDeck::playbackChanged});
    assign(m_playbackMinimized, false, {&CommandDeck::playbackMinimizedChanged});
}

void CommandDeck::minimizePlayback(double progress)
{
    handOverPlayback(progress, true);
}

void CommandDeck::restorePlayback(double progress)
{
    handOverPlayback(progress, false);
}

void CommandDeck::handOverPlayback(double progress, bool minimized)
{
    if (!m_playback)
        return;
    const Batch batch(*this);
    if (finiteFraction(progress) > 0) {
        recordProgress(progress);
        assign(m_playback, std::optional<PlaybackTicket>(reissuedTicket(*m_playback, progress)),
               {&CommandDeck::playbackChanged});
    }
    assign(m_playbackMinimized, minimized, {&CommandDeck::playbackMinimizedChanged});
}

PlaybackTicket CommandDeck::reissuedTicket(const PlaybackTicket& ticket, double resumeFraction) const
{
    PlaybackTicket reissued = ticket;
    reissued.id = QUuid::createUuid();
    if (!reissued.nativeStream)
        reissued.nativeStream = PlaybackTicket::nativeAlternative(ticket.node, ticket.stream);
    reissued.resumeFraction = resumeStart(resumeFraction);
    return reissued;
}

void CommandDeck::addResume(const MediaNode& node, double fraction, std::optional<int> episodeIndex)
{
    if (node.kind == SignalKind::broadcast || !m_activeIdentity)
        return;
    const double played = finiteFraction(fraction);
    // The catalogue found out when it was prepared whether the entry's texts are adult: reading a long text again
    // would hold the window.
    const auto adultTexts = [this](const MediaNode& whole) {
        const std::optional<bool> known = m_snapshot->entries().adultTexts(whole.kind, whole.id);
        return known ? *known : holdsAdultText(whole);
    };
    const std::optional<ResumeMarker> kept = keptMarker(
        ResumeMarker{node.catalogKey(), node, std::max(played, startingFraction), m_clock(), episodeIndex}, adultTexts);
    if (!kept) {
        qCWarning(deckLog, "Sendra: a resume point that cannot be kept small is left out");
        return;
    }
    QList<ResumeMarker> markers = m_resumeMarkers;
    markers.removeIf([&kept](const ResumeMarker& marker) { return marker.id == kept->id; });
    if (played < finishedFraction)
        markers.prepend(*kept);
    // The list in memory may grow past what is kept: only the newest markers survive a restart.
    m_vault.encode(markers.first(std::min(markers.size(), storedMarkers)),
                   QStringLiteral("resume.") + uuidText(m_activeIdentity->id));
    assign(m_resumeMarkers, std::move(markers),
           {&CommandDeck::resumeMarkersChanged, &CommandDeck::centerResumeMarkersChanged});
}

void CommandDeck::resume(const ResumeMarker& marker)
{
    setPlaybackMessage(std::nullopt);
    m_playbackTask.start([this, marker](CancelToken token) { return resumeTask(marker, std::move(token)); });
}

QCoro::Task<void> CommandDeck::resumeTask(ResumeMarker marker, CancelToken token)
{
    const QPointer<CommandDeck> self(this);
    std::exception_ptr failure;
    try {
        const double start = resumeStart(marker.fraction);
        PlaybackTicket ticket;
        if (m_provider) {
            const ProviderSession provider = *m_provider;
            const PlaybackTicket found = co_await m_clients.xtream->stream(marker.node, provider, token);
            throwIfCancelled(token);
            qsizetype position = marker.episodeIndex.value_or(found.episodeIndex);
            if (position < 0 || position >= found.episodes.size())
                position = found.episodeIndex;
            const bool inList = position >= 0 && position < found.episodes.size();
            ticket = issueTicket(found.node, inList ? found.episodes.at(position) : found.stream, found.episodes,
                                 int(position), start);
        } else if (marker.node.directURL) {
            ticket = issueTicket(marker.node, *marker.node.directURL, {}, 0, start);
        } else {
            throw CommandFailure(CommandError::playbackUnavailable);
        }
        const Batch batch(*this);
        assign(m_playback, std::optional<PlaybackTicket>(std::move(ticket)), {&CommandDeck::playbackChanged});
        assign(m_playbackMinimized, false, {&CommandDeck::playbackMinimizedChanged});
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !failure || token.isCancelled())
        co_return;
    setPlaybackMessage(failureMessage(failure, L10n::noop("No fue posible continuar la reproducción.")));
}

} // namespace sendra
