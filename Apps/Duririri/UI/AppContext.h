#pragma once

#include "UI/PlayerHost.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>

class QQmlEngine;

namespace sendra::ui {

// Where the playback lives when it leaves the main window. The floating player window implements it; the root
// hands it the deck's ticket, and the quit path dismisses it with a final report.
class FloatingPresenter
{
public:
    virtual ~FloatingPresenter() = default;
    virtual void present(const PlaybackTicket& ticket, CommandDeck& deck) = 0;
    virtual void dismiss(bool reportProgress) = 0;
};

// What one QML engine's singletons reach: the deck (none until the vault has been read at start-up), the
// network manager the players share, the factory of player sessions and the floating window. The application
// owns one; every test owns its own.
class AppContext final : public QObject
{
    Q_OBJECT

public:
    explicit AppContext(QNetworkAccessManager* network, QObject* parent = nullptr);
    ~AppContext() override;

    // Registers the QML module in `engine` and ties the engine's singletons to this context.
    void install(QQmlEngine& engine);
    static AppContext* of(const QQmlEngine* engine);

    CommandDeck* deck() const { return m_deck; }
    void setDeck(CommandDeck* deck);

    QNetworkAccessManager* network() const { return m_network; }

    SessionFactory sessionFactory() const;
    void setSessionFactory(SessionFactory factory) { m_factory = std::move(factory); }
    // How many player sessions were made so far (the embedded and floating players together).
    int playersCreated() const { return m_playersCreated; }

    FloatingPresenter* floating() const { return m_floating; }
    void setFloating(FloatingPresenter* floating) { m_floating = floating; }

signals:
    void deckChanged();

private:
    QPointer<CommandDeck> m_deck;
    QPointer<QNetworkAccessManager> m_network;
    SessionFactory m_factory;
    int m_playersCreated = 0;
    FloatingPresenter* m_floating = nullptr;
    QList<QQmlEngine*> m_engines;
};

} // namespace sendra::ui
