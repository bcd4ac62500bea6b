#include "Storage/DesktopSecretStore.h"

#include "Storage/FileSecretStore.h"
#include "Storage/KeychainSecretStore.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include <qcoro/qcorosignal.h>

namespace sendra {

namespace {

const QString secretServiceName = QStringLiteral("org.freedesktop.secrets");

QDBusMessage busCall(const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                          QStringLiteral("/org/freedesktop/DBus"),
                                                          QStringLiteral("org.freedesktop.DBus"), method);
    message.setArguments(arguments);
    return message;
}

// A bus that does not answer within this long counts as having no Secret Service.
constexpr int busCallLimitMs = 10000;

QCoro::Task<QDBusMessage> reply(QDBusConnection bus, QDBusMessage call)
{
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, busCallLimitMs));
    if (!watcher.isFinished())
        co_await qCoro(&watcher, &QDBusPendingCallWatcher::finished);
    co_return watcher.reply();
}

QCoro::Task<bool> running(QDBusConnection bus, QDBusMessage call)
{
    if (!bus.isConnected())
        co_return false;
    const QDBusMessage answer = co_await reply(bus, call);
    co_return answer.type() == QDBusMessage::ReplyMessage && answer.arguments().value(0).toBool();
}

QCoro::Task<bool> activatable(QDBusConnection bus, QDBusMessage call)
{
    if (!bus.isConnected())
        co_return false;
    const QDBusMessage answer = co_await reply(bus, call);
    co_return answer.type() == QDBusMessage::ReplyMessage
        && answer.arguments().value(0).toStringList().contains(secretServiceName);
}

} // namespace

// The calls are built outside the coroutines: g++ 12 cannot put braced temporaries into a coroutine frame.
QCoro::Task<bool> secretServiceRunning(QDBusConnection bus)
{
    return running(bus, busCall(QStringLiteral("NameHasOwner"), {secretServiceName}));
}

QCoro::Task<bool> secretServiceActivatable(QDBusConnection bus)
{
    return activatable(bus, busCall(QStringLiteral("ListActivatableNames"), {}));
}

DesktopSecretStore::DesktopSecretStore(std::shared_ptr<SecretStore> keyring, std::shared_ptr<SecretStore> file,
                                       Presence presence)
    : m_keyring(std::move(keyring))
    , m_file(std::move(file))
    , m_presence(std::move(presence))
{
}

std::shared_ptr<DesktopSecretStore> DesktopSecretStore::forService(const QString& service)
{
    return std::make_shared<DesktopSecretStore>(
        std::make_shared<KeychainSecretStore>(service),
        std::make_shared<FileSecretStore>(FileSecretStore::defaultPath(service)),
        Presence{[] { return secretServiceRunning(QDBusConnection::sessionBus()); },
                 [] { return secretServiceActivatable(QDBusConnection::sessionBus()); }});
}

QCoro::Task<bool> DesktopSecretStore::keyringInUse()
{
    if (!m_keyringInUse) {
        bool inUse = co_await m_presence.running();
        if (!inUse)
            inUse = co_await m_presence.activatable();
        m_keyringInUse = inUse;
    }
    co_return *m_keyringInUse;
}

QCoro::Task<bool> DesktopSecretStore::keyringAnswered(SecretStatus status)
{
    bool absent = status == SecretStatus::unavailable;
    if (status == SecretStatus::failed)
        absent = !co_await m_presence.running();
    if (absent)
        m_keyringInUse = false;
    co_return !absent;
}

QCoro::Task<SecretRead> DesktopSecretStore::read(QString account)
{
    if (co_await keyringInUse()) {
        SecretRead fromKeyring = co_await m_keyring->read(account);
        if (fromKeyring.status != SecretStatus::notFound && co_await keyringAnswered(fromKeyring.status))
            co_return fromKeyring;
    }
    co_return co_await m_file->read(account);
}

QCoro::Task<SecretStatus> DesktopSecretStore::write(QString account, QByteArray data)
{
    if (co_await keyringInUse()) {
        const SecretStatus stored = co_await m_keyring->write(account, data);
        if (stored == SecretStatus::ok) {
            // A copy the file kept from a session without keyring is now stale.
            co_await m_file->remove(account);
            co_return stored;
        }
        if (co_await keyringAnswered(stored))
            co_return stored;
    }
    co_return co_await m_file->write(account, data);
}

QCoro::Task<SecretStatus> DesktopSecretStore::remove(QString account)
{
    SecretStatus fromKeyring = SecretStatus::ok;
    if (co_await keyringInUse()) {
        fromKeyring = co_await m_keyring->remove(account);
        if (!co_await keyringAnswered(fromKeyring))
            fromKeyring = SecretStatus::ok;
    }
    const SecretStatus fromFile = co_await m_file->remove(account);
    co_return fromKeyring != SecretStatus::ok ? fromKeyring : fromFile;
}

} // namespace sendra
