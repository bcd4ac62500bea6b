#pragma once

#include "State/CommandDeck.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>

#include <functional>
#include <memory>

class QQmlApplicationEngine;

namespace sendra {
class CommandVault;
}

namespace sendra::ui {

class AppContext;
class FloatingPlayer;

// The application: one network manager, one vault, one deck, the main window. The window opens at once in the
// phase "starting" (a spinner); the vault's keyring items are read without blocking it, and only then is the deck
// built and the window follows its phase. Quitting in any way (the main window closed, the application quit, a
// SIGINT or SIGTERM) first stops every playback with a final progress report, so that resume points are kept.
class SendraApplication final : public QObject
{
    Q_OBJECT

public:
    struct Setup {
        // The vault to read; the product's shared vault when none.
        CommandVault* vault = nullptr;
        // The deck's clients over the application's HTTP session; the deployment's services when none.
        std::function<CommandDeck::Clients(QNetworkAccessManager*)> clients;
    };

    SendraApplication() : SendraApplication(Setup()) {}
    explicit SendraApplication(Setup setup, QObject* parent = nullptr);
    ~SendraApplication() override;

    // Loads the root view (the window shows at once) and starts reading the vault.
    bool start();

    QQuickWindow* window() const { return m_window; }
    QQmlApplicationEngine& engine() { return *m_engine; }
    AppContext& context() { return *m_context; }
    FloatingPlayer& floating() { return *m_floating; }
    CommandDeck* deck() const { return m_deck.get(); }

    // Stops playback with a final report (once), then quits the event loop.
    void quit();
    // SIGINT and SIGTERM end the application through quit().
    void handleTerminationSignals();

signals:
    void deckReady();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QCoro::Task<void> buildDeck();
    void stopPlayback();

    Setup m_setup;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<CommandDeck> m_deck;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    std::unique_ptr<FloatingPlayer> m_floating;
    QPointer<QQuickWindow> m_window;
    const QObject* m_watchedWindow = nullptr;
    bool m_isTerminating = false;
};

} // namespace sendra::ui
