#include "UI/EmbeddedPlayer.h"

#include "Shared/PlayerSession.h"
#include "State/CommandDeck.h"

namespace sendra::ui {

EmbeddedPlayer::EmbeddedPlayer(AppContext& context, QObject* parent) : QObject(parent), m_context(context)
{}

EmbeddedPlayer::~EmbeddedPlayer() = default;

void EmbeddedPlayer::place(CommandDeck* deck)
{
    FloatingPresenter* floating = m_context.floating();
    const bool embedded = deck && deck->playback() && !deck->playbackMinimized();
    const bool minimised = deck && deck->playback() && deck->playbackMinimized();

    if (!embedded && m_host) {
        // The ticket went to the floating window or away: its progress has been reported to the deck already.
        std::unique_ptr<PlayerHost> leaving = std::move(m_host);
        leaving->stopSilently();
        emit sessionChanged();
        leaving.release()->deleteLater();
    }
    if (minimised) {
        if (floating)
            floating->present(*deck->playback(), *deck);
        return;
    }
    if (floating)
        floating->dismiss(false);
    if (!embedded)
        return;
    const PlaybackTicket& ticket = *deck->playback();
    if (m_host && m_host->ticketId() == ticket.id)
        return;
    if (m_host) {
        // Another episode takes the player's place: the one left keeps how far it was played, read after its
        // final report, as the floating window does for a ticket it replaces.
        std::unique_ptr<PlayerHost> replaced = std::move(m_host);
        const double progress = replaced->stopWithReport();
        const PlaybackTicket& left = replaced->ticket();
        if (progress > 0)
            deck->addResume(left.node, progress,
                            left.episodes.isEmpty() ? std::nullopt : std::optional<int>(left.episodeIndex));
        replaced.release()->deleteLater();
    }
    m_host = std::make_unique<PlayerHost>(*deck, ticket, PlayerHost::Placement::mainWindow, m_context.sessionFactory());
    // The player screen's own texts follow the interface language while the player is the one shown.
    if (playback::PlayerSession* player = m_host->session()) {
        player->setLanguage(storedValue(deck->appLanguage()));
        connect(deck, &CommandDeck::appLanguageChanged, player, [this, player, deck] {
            if (session() == player)
                player->setLanguage(storedValue(deck->appLanguage()));
        });
    }
    emit sessionChanged();
}

void EmbeddedPlayer::stopForQuit()
{
    if (FloatingPresenter* floating = m_context.floating())
        floating->dismiss(true);
    if (m_host)
        m_host->closeWithReport();
}

} // namespace sendra::ui
