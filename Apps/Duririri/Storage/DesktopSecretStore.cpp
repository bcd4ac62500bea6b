#include "Storage/DesktopSecretStore.h"

#include "Storage/FileSecretStore.h"
#include "Storage/KeychainSecretStore.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

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

QCoro::Task<QDBusMessage> reply(QDBusConnection bus, QDBusMessage call)
{
    QDBusPendingCallWatcher watcher(bus.asyncCall(call));
    if (!watcher.isFinished())
        co_await qCoro(&watcher, &QDBusPendingCallWatcher::finished);
    co_return watcher.reply();
}

QCoro::Task<bool> reachable(QDBusConnection bus, QDBusMessage ownerCall, QDBusMessage activatableCall)
{
    if (!bus.isConnected())
        co_return false;
    const QDBusMessage owner = co_await reply(bus, ownerCall);
    if (owner.type() == QDBusMessage::ReplyMessage && owner.arguments().value(0).toBool())
        co_return true;
    const QDBusMessage activatable = co_await reply(bus, activatableCall);
    co_return activatable.type() == QDBusMessage::ReplyMessage
        && activatable.arguments().value(0).toStringList().contains(secretServiceName);
}

} // namespace

QCoro::Task<bool> secretServiceReachable(QDBusConnection bus)
{
    // The calls are built outside the coroutine: g++ 12 cannot put braced temporaries into a coroutine frame.
    return reachable(bus, busCall(QStringLiteral("NameHasOwner"), {secretServiceName}),
                     busCall(QStringLiteral("ListActivatableNames"), {}));
}

DesktopSecretStore::DesktopSecretStore(std::shared_ptr<SecretStore> keyring, std::shared_ptr<SecretStore> file,
                                       Probe probe)
    : m_keyring(std::move(keyring))
    , m_file(std::move(file))
    , m_probe(std::move(probe))
{
}

std::shared_ptr<DesktopSecretStore> DesktopSecretStore::forService(const QString& service)
{
    return std::make_shared<DesktopSecretStore>(std::make_shared<KeychainSecretStore>(service),
                                                std::make_shared<FileSecretStore>(FileSecretStore::defaultPath(service)),
                                                [] { return secretServiceReachable(QDBusConnection::sessionBus()); });
}

QCoro::Task<bool> DesktopSecretStore::keyringReachable()
{
    if (!m_reachable)
        m_reachable = co_await m_probe();
    co_return *m_reachable;
}

QCoro::Task<SecretRead> DesktopSecretStore::read(QString account)
{
    if (co_await keyringReachable()) {
        SecretRead fromKeyring = co_await m_keyring->read(account);
        if (fromKeyring.status != SecretStatus::notFound && fromKeyring.status != SecretStatus::unavailable)
            co_return fromKeyring;
    }
    co_return co_await m_file->read(account);
}

QCoro::Task<SecretStatus> DesktopSecretStore::write(QString account, QByteArray data)
{
    if (co_await keyringReachable()) {
        const SecretStatus stored = co_await m_keyring->write(account, data);
        if (stored == SecretStatus::ok) {
            // A copy the file kept from a session without keyring is now stale.
            co_await m_file->remove(account);
            co_return stored;
        }
        if (stored != SecretStatus::unavailable)
            co_return stored;
    }
    co_return co_await m_file->write(account, data);
}

QCoro::Task<SecretStatus> DesktopSecretStore::remove(QString account)
{
    SecretStatus fromKeyring = SecretStatus::ok;
    if (co_await keyringReachable()) {
        fromKeyring = co_await m_keyring->remove(account);
        if (fromKeyring == SecretStatus::unavailable)
            fromKeyring = SecretStatus::ok;
    }
    const SecretStatus fromFile = co_await m_file->remove(account);
    co_return fromKeyring != SecretStatus::ok ? fromKeyring : fromFile;
}

} // namespace sendra
