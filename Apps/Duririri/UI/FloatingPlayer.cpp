#include "UI/FloatingPlayer.h"

#include "Domain/L10n.h"
#include "Shared/PlayerSession.h"
#include "State/CommandDeck.h"
#include "UI/NodeValues.h"
#include "UI/UiLog.h"

#include <QEvent>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QScreen>
#include <QTimer>

namespace sendra::ui {

FloatingPlayer::FloatingPlayer(AppContext& context, QQmlEngine& engine, QObject* parent)
    : QObject(parent), m_context(context), m_engine(&engine)
{
}

FloatingPlayer::~FloatingPlayer()
{
    if (m_host)
        m_host->stopSilently();
    // The screen reads its session until it is gone: the window goes first.
    delete m_window.data();
    m_host.reset();
}

playback::PlayerSession* FloatingPlayer::session() const
{
    return m_host ? m_host->session() : nullptr;
}

void FloatingPlayer::present(const PlaybackTicket& ticket, CommandDeck& deck)
{
    if (m_ticket && m_ticket->id == ticket.id && m_window && m_window->isVisible())
        return;

    // The replaced ticket keeps its resume point, read after its final report.
    if (m_ticket) {
        const double progress = stopPlayer(true);
        if (progress > 0)
            recordResume(progress);
    }

    m_ticket = ticket;
    m_deck = &deck;
    m_host = std::make_unique<PlayerHost>(deck, ticket, PlayerHost::Placement::floatingWindow,
                                          m_context.sessionFactory());
    connect(m_host.get(), &PlayerHost::returnRequested, this, &FloatingPlayer::returnToMainWindow);
    if (playback::PlayerSession* player = m_host->session()) {
        player->setLanguage(storedValue(deck.appLanguage()));
        m_languageConnection = connect(&deck, &CommandDeck::appLanguageChanged, player, [player, deck = &deck] {
            player->setLanguage(storedValue(deck->appLanguage()));
        });
    }

    QQuickWindow* window = ensureWindow();
    if (!window)
        return;
    showSession(m_host->session());
    window->setTitle(shownText(ticket.node.title));
    window->show();
    window->raise();
    window->requestActivate();
    // Window managers may ignore a raise that comes with the show itself.
    QTimer::singleShot(0, window, [window] {
        window->raise();
        window->requestActivate();
    });
}

void FloatingPlayer::dismiss(bool reportProgress)
{
    if (!m_ticket && (!m_window || !m_window->isVisible()))
        return;
    const double progress = stopPlayer(reportProgress);
    if (reportProgress && m_ticket && progress > 0)
        recordResume(progress);
    empty();
}

void FloatingPlayer::returnToMainWindow()
{
    if (!m_deck)
        return;
    const QPointer<CommandDeck> deck = m_deck;
    const double progress = stopPlayer(true);
    empty();
    deck->restorePlayback(progress);

    if (auto* engine = qobject_cast<QQmlApplicationEngine*>(m_engine.data())) {
        for (QObject* root : engine->rootObjects()) {
            if (auto* main = qobject_cast<QWindow*>(root); main && main != m_window) {
                main->raise();
                main->requestActivate();
                break;
            }
        }
    }
}

void FloatingPlayer::closedByUser()
{
    // The progress is read after the stop, whose final report is where the viewer was at the close; the deck
    // closes the playback once this close has been answered.
    const QPointer<CommandDeck> deck = m_deck;
    const double progress = stopPlayer(true);
    empty();
    if (deck) {
        QTimer::singleShot(0, deck, [deck, progress] {
            if (deck)
                deck->closePlayback(progress);
        });
    }
}

bool FloatingPlayer::eventFilter(QObject* watched, QEvent* event)
{
    // The user's close only hides the window, which the next presentation reuses. A close of the hidden window
    // (the application quitting closes every window) goes through: refusing it would cancel the quit.
    // Compared as plain objects: while the window is being destroyed it is only a QWindow any more.
    if (event->type() == QEvent::Close && watched == m_watchedWindow && static_cast<QWindow*>(watched)->isVisible()) {
        event->ignore();
        closedByUser();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

double FloatingPlayer::stopPlayer(bool reportProgress)
{
    if (!m_host)
        return 0;
    QObject::disconnect(m_languageConnection);
    const double progress = reportProgress ? m_host->stopWithReport() : (m_host->stopSilently(), m_host->progress());
    // The screen lets go of the session before the session itself goes.
    showSession(nullptr);
    m_host.release()->deleteLater();
    return progress;
}

void FloatingPlayer::empty()
{
    if (m_window)
        m_window->hide();
    m_ticket.reset();
    m_deck.clear();
}

void FloatingPlayer::recordResume(double fraction)
{
    if (!m_deck || !m_ticket)
        return;
    const std::optional<int> episode =
        m_ticket->episodes.isEmpty() ? std::nullopt : std::optional<int>(m_ticket->episodeIndex);
    m_deck->addResume(m_ticket->node, fraction, episode);
}

QQuickWindow* FloatingPlayer::ensureWindow()
{
    if (m_window)
        return m_window;
    if (!m_engine)
        return nullptr;
    QQmlComponent component(m_engine, QUrl(QStringLiteral("qrc:/qt/qml/Sendra/App/Root/FloatingWindow.qml")));
    QObject* made = component.create();
    m_window = qobject_cast<QQuickWindow*>(made);
    if (!m_window) {
        qCWarning(uiLog, "Sendra: the floating player window could not be built: %s",
                  qPrintable(component.errorString()));
        delete made;
        return nullptr;
    }
    QQmlEngine::setObjectOwnership(m_window, QQmlEngine::CppOwnership);
    m_watchedWindow = m_window.data();
    m_window->installEventFilter(this);
    // Centred once; afterwards the window stays where the user put it.
    if (QScreen* screen = m_window->screen()) {
        QRect frame(QPoint(0, 0), QSize(960, 640));
        frame.moveCenter(screen->availableGeometry().center());
        m_window->setGeometry(frame);
    }
    return m_window;
}

void FloatingPlayer::showSession(playback::PlayerSession* session)
{
    if (m_window)
        QMetaObject::invokeMethod(m_window, "showSession", Q_ARG(QVariant, QVariant::fromValue<QObject*>(session)));
}

} // namespace sendra::ui
