#pragma once

#include "UI/AppContext.h"

#include <QObject>
#include <QPointer>
#include <QQuickWindow>

#include <memory>
#include <optional>

class QQmlEngine;

namespace sendra::ui {

// The floating player window: one top-level window, stay-on-top, made on the first presentation and then only
// shown and hidden for the life of the process. It plays one ticket at a time, and every way out of it (a
// replacing ticket, a dismissal with a report, "Volver a la app", the user closing it) hands the deck the
// playback's progress, so resume points stay right. Main thread only.
class FloatingPlayer final : public QObject, public FloatingPresenter
{
    Q_OBJECT

public:
    // The window is built in `engine` (the main window's, so texts and palette follow the same singletons).
    FloatingPlayer(AppContext& context, QQmlEngine& engine, QObject* parent = nullptr);
    ~FloatingPlayer() override;

    void present(const PlaybackTicket& ticket, CommandDeck& deck) override;
    void dismiss(bool reportProgress) override;

    // Null until the first presentation.
    QQuickWindow* window() const { return m_window; }
    // The session shown, null while the window is empty.
    playback::PlayerSession* session() const;
    bool isShowing() const { return m_ticket.has_value(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void returnToMainWindow();
    void closedByUser();
    // Stops the player (with or without its final report) and forgets it; returns the progress after the stop.
    double stopPlayer(bool reportProgress);
    // Hides the emptied window and forgets the ticket.
    void empty();
    void recordResume(double fraction);
    QQuickWindow* ensureWindow();
    void showSession(playback::PlayerSession* session);

    AppContext& m_context;
    QPointer<QQmlEngine> m_engine;
    QPointer<QQuickWindow> m_window;
    const QObject* m_watchedWindow = nullptr;
    std::unique_ptr<PlayerHost> m_host;
    QPointer<CommandDeck> m_deck;
    std::optional<PlaybackTicket> m_ticket;
    QMetaObject::Connection m_languageConnection;
};

} // namespace sendra::ui
