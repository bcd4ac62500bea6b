#include "UI/PlayerHost.h"

#include "Domain/L10n.h"
#include "UI/NodeValues.h"

#include "OrrinthCore/PlaybackRequest.h"
#include "Shared/PlayerSession.h"
#include "State/CommandDeck.h"

namespace sendra::ui {

namespace {

orrinth::ContentKind contentKind(SignalKind kind)
{
    switch (kind) {
    case SignalKind::broadcast:
        return orrinth::ContentKind::live;
    case SignalKind::cinema:
        return orrinth::ContentKind::movie;
    case SignalKind::episodic:
        return orrinth::ContentKind::series;
    }
    return orrinth::ContentKind::live;
}

} // namespace

orrinth::PlaybackRequest playbackRequest(const PlaybackTicket& ticket)
{
    const MediaNode& node = ticket.node;
    // The player only shows the title and the category: it gets them as the screens do.
    const orrinth::CatalogItem item(node.id, shownText(node.title), node.groupID, shownText(node.groupName),
                                    node.artwork, node.fileSuffix, contentKind(node.kind), node.directURL);
    return orrinth::PlaybackRequest(item, ticket.stream, ticket.episodes, ticket.episodeIndex,
                                    orrinth::PlaybackRequest::clampedResumeProgress(ticket.resumeFraction));
}

SessionFactory defaultSessionFactory(QNetworkAccessManager* network)
{
    return [network](const orrinth::PlaybackRequest& request, QObject* parent) {
        return new playback::PlayerSession(request, network, {}, parent);
    };
}

PlayerHost::PlayerHost(CommandDeck& deck, const PlaybackTicket& ticket, Placement placement,
                       const SessionFactory& factory, QObject* parent)
    : QObject(parent), m_deck(&deck), m_ticket(ticket), m_placement(placement),
      m_progress(ticket.resumeFraction)
{
    m_session = factory(playbackRequest(ticket), this);
    if (placement == Placement::mainWindow)
        m_session->setPresentationAction(QString::fromUtf8(L10n::noop("Ventana flotante")), QStringLiteral("pip.enter"));
    else
        m_session->setPresentationAction(QString::fromUtf8(L10n::noop("Volver a la app")), QStringLiteral("pip.exit"));

    using playback::PlayerSession;
    connect(m_session, &PlayerSession::progressReported, this, [this](double fraction) {
        if (!m_silenced)
            m_progress = fraction;
    });
    connect(m_session, &PlayerSession::previousEpisodeRequested, this, [this] {
        if (m_deck && !m_silenced)
            m_deck->advanceEpisode(-1);
    });
    connect(m_session, &PlayerSession::nextEpisodeRequested, this, [this] {
        if (m_deck && !m_silenced)
            m_deck->advanceEpisode(1);
    });
    connect(m_session, &PlayerSession::closed, this, [this] {
        if (m_deck && !m_silenced)
            m_deck->closePlayback(m_progress);
        emit finished();
    });
    connect(m_session, &PlayerSession::presentationActionTriggered, this, [this] {
        if (!m_deck || m_silenced)
            return;
        // The position on screen at the click, not the last periodic report (up to 5 s behind).
        if (m_placement == Placement::mainWindow)
            m_deck->minimizePlayback(currentProgress());
        else
            emit returnRequested();
    });
}

PlayerHost::~PlayerHost()
{
    stopSilently();
}

double PlayerHost::currentProgress() const
{
    if (m_session && !m_silenced) {
        if (const std::optional<double> now = m_session->currentProgress(); now && *now > 0)
            return *now;
    }
    return m_progress;
}

void PlayerHost::closeWithReport()
{
    if (m_session && !m_silenced)
        m_session->close();
}

double PlayerHost::stopWithReport()
{
    if (!m_silenced && m_session)
        m_session->disappear();
    m_silenced = true;
    return m_progress;
}

void PlayerHost::stopSilently()
{
    if (m_silenced)
        return;
    m_silenced = true;
    if (m_session)
        m_session->disappear();
}

} // namespace sendra::ui
