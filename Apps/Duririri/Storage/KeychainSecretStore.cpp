#include "Storage/KeychainSecretStore.h"

#include <qcoro/qcorosignal.h>
#include <qt6keychain/keychain.h>

#include <memory>

namespace sendra {

namespace {

SecretStatus statusOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return SecretStatus::ok;
    case QKeychain::EntryNotFound:
        return SecretStatus::notFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        return SecretStatus::denied;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return SecretStatus::unavailable;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::OtherError:
        break;
    }
    return SecretStatus::failed;
}

// The job belongs to the awaiting coroutine rather than deleting itself, and it starts from the event
// loop, so its finished signal can only arrive once the coroutine is listening.
template <class Job>
QCoro::Task<QKeychain::Error> run(Job& job)
{
    job.setAutoDelete(false);
    QMetaObject::invokeMethod(&job, &QKeychain::Job::start, Qt::QueuedConnection);
    co_await qCoro(&job, &QKeychain::Job::finished);
    co_return job.error();
}

} // namespace

KeychainSecretStore::KeychainSecretStore(QString service)
    : m_service(std::move(service))
{
}

QCoro::Task<SecretRead> KeychainSecretStore::read(QString account)
{
    auto job = std::make_unique<QKeychain::ReadPasswordJob>(m_service);
    job->setKey(account);
    const SecretStatus status = statusOf(co_await run(*job));
    if (status != SecretStatus::ok)
        co_return SecretRead{status, {}};
    co_return SecretRead{SecretStatus::ok, job->binaryData()};
}

QCoro::Task<SecretStatus> KeychainSecretStore::write(QString account, QByteArray data)
{
    // The Secret Service replaces an item with the same attributes in one step, so the previous item stays
    // until the new one is stored.
    auto job = std::make_unique<QKeychain::WritePasswordJob>(m_service);
    job->setKey(account);
    job->setBinaryData(data);
    co_return statusOf(co_await run(*job));
}

QCoro::Task<SecretStatus> KeychainSecretStore::remove(QString account)
{
    auto job = std::make_unique<QKeychain::DeletePasswordJob>(m_service);
    job->setKey(account);
    const SecretStatus status = statusOf(co_await run(*job));
    co_return status == SecretStatus::notFound ? SecretStatus::ok : status;
}

} // namespace sendra
