#include "Storage/CommandVault.h"

#include "Domain/ProductBrand.h"
#include "Domain/SettingsFile.h"
#include "Storage/DesktopSecretStore.h"
#include "Storage/SerialSecretStore.h"
#include "Storage/WithinTime.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QPointer>
#include <QThread>

namespace sendra {

namespace {

const QString parentalEnabledName = QStringLiteral("parental-enabled");
const QString parentalPinName = QStringLiteral("parental-pin");
const QString activeProfileName = QStringLiteral("active-profile");

} // namespace

CommandVault::CommandVault(QString storageNamespace, const QString& settingsFile,
                           std::shared_ptr<SecretStore> secrets, QObject* parent,
                           std::chrono::milliseconds keyringCallLimit)
    : QObject(parent)
    , m_namespace(std::move(storageNamespace))
    , m_settings(settingsFile, m_namespace)
    , m_secrets(std::make_shared<SerialSecretStore>(std::move(secrets), keyringCallLimit))
{
}

CommandVault::~CommandVault() = default;

CommandVault& CommandVault::shared()
{
    // Kept for the life of the process, past the application object: queued keyring writes hold what they
    // need themselves.
    static CommandVault* const vault = [] {
        const QString storageNamespace = ProductBrand::storageNamespace(ProductBrand::current());
        return new CommandVault(storageNamespace, settingsFilePath(),
                                DesktopSecretStore::forService(storageNamespace));
    }();
    return *vault;
}

namespace {

// Both reads, in order; it touches nothing of the vault, so it may end after the vault stopped waiting for it.
QCoro::Task<std::vector<SecretRead>> readAll(std::vector<QCoro::Task<SecretRead>> reads)
{
    std::vector<SecretRead> results;
    for (QCoro::Task<SecretRead>& read : reads)
        results.push_back(co_await read);
    co_return results;
}

} // namespace

QCoro::Task<> CommandVault::load(std::chrono::milliseconds bound)
{
    const QPointer<CommandVault> self(this);
    const QStringList accounts{sourceAccount, grantsAccount};
    std::vector<quint64> revisions;
    // Both reads take their place in the keyring's line now, ahead of any later write.
    std::vector<QCoro::Task<SecretRead>> reads;
    for (const QString& account : accounts) {
        revisions.push_back(m_revisions.value(account));
        reads.push_back(m_secrets->read(account));
    }
    QCoro::Task<std::vector<SecretRead>> all = readAll(std::move(reads));
    QCoro::Task<std::optional<std::vector<SecretRead>>> timed = withinTime(std::move(all), bound);
    const std::optional<std::vector<SecretRead>> results = co_await timed;
    if (!self)
        co_return;
    for (qsizetype i = 0; i < accounts.size(); ++i) {
        const QString& account = accounts[i];
        if (m_revisions.value(account) != revisions[size_t(i)])
            continue;
        if (results && (*results)[size_t(i)].status == SecretStatus::ok)
            m_items.insert(account, (*results)[size_t(i)].data);
        else
            m_items.remove(account);
    }
    m_loaded = true;
}

QCoro::Task<> CommandVault::settled()
{
    return m_secrets->settled();
}

bool CommandVault::parentalEnabled() const
{
    return m_settings.flag(parentalEnabledName).value_or(false);
}

bool CommandVault::setParentalEnabled(bool enabled)
{
    return m_settings.setFlag(parentalEnabledName, enabled);
}

QString CommandVault::pinDigest(const QString& pin) const
{
    const QByteArray text = (m_namespace + u':' + pin).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toBase64());
}

bool CommandVault::setPIN(const QString& pin)
{
    return m_settings.setText(parentalPinName, pinDigest(pin));
}

bool CommandVault::validatePIN(const QString& pin) const
{
    const std::optional<QString> stored = m_settings.text(parentalPinName);
    return stored && *stored == pinDigest(pin);
}

bool CommandVault::hasPIN() const
{
    return m_settings.text(parentalPinName).has_value();
}

bool CommandVault::setActiveProfileID(const std::optional<QUuid>& id)
{
    if (!id)
        return m_settings.remove(activeProfileName);
    return m_settings.setText(activeProfileName, uuidText(*id));
}

std::optional<QUuid> CommandVault::activeProfileID() const
{
    const std::optional<QString> stored = m_settings.text(activeProfileName);
    return stored ? uuidFromText(*stored) : std::nullopt;
}

std::optional<SourceDraft> CommandVault::source() const
{
    return keychainValue<SourceDraft>(sourceAccount);
}

void CommandVault::remember(const QString& account, std::optional<QByteArray> data)
{
    ++m_revisions[account];
    if (data)
        m_items.insert(account, *data);
    else
        m_items.remove(account);
}

QCoro::Task<SecretStatus> CommandVault::clearSource()
{
    remember(sourceAccount, std::nullopt);
    return m_secrets->remove(sourceAccount);
}

QCoro::Task<SecretStatus> CommandVault::upsertKeychainData(const QByteArray& data, const QString& account)
{
    remember(account, data);
    return m_secrets->write(account, data);
}

std::optional<QByteArray> CommandVault::keychainData(const QString& account) const
{
    const auto found = m_items.constFind(account);
    if (found == m_items.cend())
        return std::nullopt;
    return *found;
}

QList<CommandVault::PrivateAccessGrant> CommandVault::privateAccessGrants(const QDateTime& now)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const QList<PrivateAccessGrant> stored = keychainValue<QList<PrivateAccessGrant>>(grantsAccount).value_or(
        QList<PrivateAccessGrant>{});
    QList<PrivateAccessGrant> live;
    for (const PrivateAccessGrant& grant : stored) {
        const qint64 ageMsecs = grant.validatedAt.msecsTo(now);
        if (ageMsecs >= 0 && ageMsecs < grantLifetimeSeconds * 1000)
            live.append(grant);
    }
    if (live.size() < stored.size())
        upsertKeychainData(encodeList(live), grantsAccount);
    return live;
}

QByteArray CommandVault::encodeTexts(const QStringList& texts)
{
    return QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact);
}

std::optional<QStringList> CommandVault::decodeTexts(const QByteArray& bytes)
{
    const std::optional<QJsonValue> value = parseJsonList(bytes);
    if (!value || !value->isArray())
        return std::nullopt;
    // Record by record, as the other lists: an element that is not a text is left out.
    QStringList texts;
    for (const QJsonValue& element : value->toArray()) {
        if (element.isString())
            texts.append(element.toString());
    }
    return texts;
}

QJsonObject toJson(const CommandVault::PrivateAccessGrant& grant)
{
    return QJsonObject{
        {QStringLiteral("brand"), grant.brand},
        {QStringLiteral("identifier"), grant.identifier},
        {QStringLiteral("username"), grant.username},
        {QStringLiteral("origin"), grant.origin},
        {QStringLiteral("validatedAt"), referenceSeconds(grant.validatedAt)},
    };
}

template <>
std::optional<CommandVault::PrivateAccessGrant> fromJson<CommandVault::PrivateAccessGrant>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    CommandVault::PrivateAccessGrant grant;
    const std::pair<const char*, QString*> texts[] = {
        {"brand", &grant.brand},
        {"identifier", &grant.identifier},
        {"username", &grant.username},
        {"origin", &grant.origin},
    };
    for (const auto& [key, field] : texts) {
        const QJsonValue text = object.value(QLatin1StringView(key));
        if (!text.isString())
            return std::nullopt;
        *field = text.toString();
    }
    const QJsonValue seconds = object.value(QLatin1StringView("validatedAt"));
    if (!seconds.isDouble())
        return std::nullopt;
    const std::optional<QDateTime> validatedAt = dateFromReferenceSeconds(seconds.toDouble());
    if (!validatedAt)
        return std::nullopt;
    grant.validatedAt = *validatedAt;
    return grant;
}

} // namespace sendra
