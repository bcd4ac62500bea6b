#pragma once

#include "UI/AppContext.h"

#include <QObject>

#include <memory>

namespace sendra::ui {

// The main window's player: one player for the deck's ticket while the playback is shown in the main window. A
// minimised playback goes to the floating window instead, and a ticket that moves away or ends takes the player
// with it. Where the playback lives is decided once per event-loop turn (the root calls place()), so a change of
// the deck's two playback fields never builds a transient second player. Main thread only.
class EmbeddedPlayer final : public QObject
{
    Q_OBJECT

public:
    explicit EmbeddedPlayer(AppContext& context, QObject* parent = nullptr);
    ~EmbeddedPlayer() override;

    // Null while the main window shows no player.
    PlayerHost* host() const { return m_host.get(); }
    playback::PlayerSession* session() const { return m_host ? m_host->session() : nullptr; }

    // Puts the deck's playback where it belongs: here, in the floating window or nowhere.
    void place(CommandDeck* deck);
    // The quit path: the floating window's and this player's playback stop with a final progress report.
    void stopForQuit();
    // Drops the player without a word to the deck (the deck it played for was replaced); announces nothing.
    void forget() { m_host.reset(); }

signals:
    // Another session is shown, or none; not emitted by forget().
    void sessionChanged();

private:
    AppContext& m_context;
    std::unique_ptr<PlayerHost> m_host;
};

} // namespace sendra::ui
