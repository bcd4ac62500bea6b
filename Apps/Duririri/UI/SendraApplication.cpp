#include "UI/SendraApplication.h"

#include "NetKit/HttpSession.h"
#include "Storage/CommandVault.h"
#include "UI/AppContext.h"
#include "UI/AppQml.h"
#include "UI/Deck.h"
#include "UI/FloatingPlayer.h"
#include "UI/UiLog.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSocketNotifier>

#include <qcoro/qcorotask.h>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace sendra::ui {

SendraApplication::SendraApplication(Setup setup, QObject* parent)
    : QObject(parent), m_setup(std::move(setup)), m_network(std::make_unique<QNetworkAccessManager>()),
      m_context(std::make_unique<AppContext>(m_network.get())), m_engine(std::make_unique<QQmlApplicationEngine>())
{
    m_context->install(*m_engine);
    m_floating = std::make_unique<FloatingPlayer>(*m_context, *m_engine);
    m_context->setFloating(m_floating.get());
    // The floating player window must never keep the process alive, nor end it by closing.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        m_isTerminating = true;
        stopPlayback();
    });
}

SendraApplication::~SendraApplication()
{
    stopPlayback();
    // The windows and their bindings go before the engine and the deck they read.
    m_context->setFloating(nullptr);
    m_floating.reset();
    m_engine.reset();
    m_context->setDeck(nullptr);
    m_deck.reset();
}

bool SendraApplication::start()
{
    m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/Sendra/App/Root/Root.qml")));
    const QList<QObject*> roots = m_engine->rootObjects();
    m_window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
    if (!m_window)
        return false;
    m_watchedWindow = m_window.data();
    m_window->installEventFilter(this);
    [](SendraApplication* self) -> QCoro::Task<void> {
        const QPointer<SendraApplication> guard(self);
        try {
            co_await self->buildDeck();
        } catch (...) {
            // Reading the vault never fails the start: an unreadable keyring reads as nothing stored.
            if (guard && !guard->m_deck)
                qCWarning(uiLog, "Sendra: the vault could not be read at start-up");
        }
    }(this);
    return true;
}

QCoro::Task<void> SendraApplication::buildDeck()
{
    const QPointer<SendraApplication> self(this);
    CommandVault& vault = m_setup.vault ? *m_setup.vault : CommandVault::shared();
    co_await vault.load();
    if (!self)
        co_return;
    CommandDeck::Clients clients = m_setup.clients ? m_setup.clients(m_network.get())
                                                   : CommandDeck::Clients::over(netkit::HttpSession(m_network.get()));
    m_deck = std::make_unique<CommandDeck>(vault, std::move(clients));
    m_context->setDeck(m_deck.get());
    emit deckReady();
}

bool SendraApplication::eventFilter(QObject* watched, QEvent* event)
{
    // Closing the main window (its button, the window manager) ends the application, after the playback's last
    // report. The floating window is never watched: closing it only hides it.
    // Compared as a plain object: the window may be half destroyed when its last events pass by.
    if (watched == m_watchedWindow && event->type() == QEvent::Close && !m_isTerminating)
        QMetaObject::invokeMethod(this, &SendraApplication::quit, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

void SendraApplication::stopPlayback()
{
    if (m_engine) {
        if (Deck* deck = appSingleton<Deck>(*m_engine))
            deck->stopPlaybackForQuit();
    }
}

void SendraApplication::quit()
{
    if (m_isTerminating)
        return;
    m_isTerminating = true;
    stopPlayback();
    QCoreApplication::quit();
}

namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

void SendraApplication::handleTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
        notifier->setEnabled(false);
        char byte = 0;
        [[maybe_unused]] const auto read = ::read(signalPipe[1], &byte, 1);
        quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace sendra::ui
