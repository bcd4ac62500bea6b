#pragma once

#include "Domain/CatalogTypes.h"

#include "Shared/PlayerSession.h"
#include "State/CommandDeck.h"

#include <QObject>
#include <QPointer>
#include <QUuid>

#include <functional>

class QNetworkAccessManager;

namespace orrinth {
class PlaybackRequest;
}

namespace sendra::ui {

// The player's hand-off for a ticket: the core request the player screen opens (the ticket's stream, its
// episodes, the resume fraction limited to 0...0.94).
orrinth::PlaybackRequest playbackRequest(const PlaybackTicket& ticket);

// Makes the player session of a request; tests swap it for one that opens nothing and count the players made.
using SessionFactory = std::function<playback::PlayerSession*(const orrinth::PlaybackRequest&, QObject* parent)>;
SessionFactory defaultSessionFactory(QNetworkAccessManager* network);

// One player screen's session for one ticket, wired to the deck as its host: progress reports are kept, the
// episode steps go to the deck, closing hands the last progress to closePlayback, and the top bar's action
// hands it to minimizePlayback (main window) or asks the floating window to give the playback back
// (returnRequested: the window stops and empties itself before the deck hears of it).
class PlayerHost final : public QObject
{
    Q_OBJECT

public:
    enum class Placement { mainWindow, floatingWindow };

    PlayerHost(CommandDeck& deck, const PlaybackTicket& ticket, Placement placement, const SessionFactory& factory,
               QObject* parent = nullptr);
    ~PlayerHost() override;

    playback::PlayerSession* session() const { return m_session; }
    const QUuid& ticketId() const { return m_ticket.id; }
    const PlaybackTicket& ticket() const { return m_ticket; }
    // The last fraction the player reported; starts at the ticket's resume fraction.
    double progress() const { return m_progress; }
    // Where the player is at this moment; progress() while the player knows no position yet.
    double currentProgress() const;

    // Stops the playback with a final progress report and gives it to the deck as a close: the quit path.
    void closeWithReport();
    // Stops the playback without telling the deck anything (the ticket moved elsewhere or went away).
    void stopSilently();
    // Stops the playback telling the deck nothing, but keeps the final report: returns progress() after it.
    double stopWithReport();

signals:
    // The session's own close: the deck has been told.
    void finished();
    // "Volver a la app" in the floating window.
    void returnRequested();

private:
    QPointer<CommandDeck> m_deck;
    QPointer<playback::PlayerSession> m_session;
    PlaybackTicket m_ticket;
    Placement m_placement;
    double m_progress = 0;
    bool m_silenced = false;
};

} // namespace sendra::ui
