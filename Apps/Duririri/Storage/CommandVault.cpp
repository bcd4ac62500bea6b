#include "Storage/CommandVault.h"

#include "Domain/ProductBrand.h"
#include "Domain/SettingsFile.h"
#include "Storage/DesktopSecretStore.h"
#include "Storage/SerialSecretStore.h"

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
                           std::shared_ptr<SecretStore> secrets, QObject* parent)
    : QObject(parent)
    , m_namespace(std::move(storageNamespace))
    , m_settings(settingsFile, m_namespace)
    , m_secrets(std::make_shared<SerialSecretStore>(std::move(secrets)))
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

QCoro::Task<> CommandVault::load()
{
    const QPointer<CommandVault> self(this);
    struct Pending {
        QString account;
        quint64 revision;
        QCoro::Task<SecretRead> read;
    };
    // Both reads take their place in the keyring's line now, ahead of any later write.
    std::vector<Pending> pending;
    for (const QString& account : {sourceAccount, grantsAccount})
        pending.push_back({account, m_revisions.value(account), m_secrets->read(account)});
    for (Pending& each : pending) {
        const SecretRead read = co_await each.read;
        if (!self)
            co_return;
        if (m_revisions.value(each.account) != each.revision)
            continue;
        if (read.status == SecretStatus::ok)
            m_items.insert(each.account, read.data);
        else
            m_items.remove(each.account);
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
    const std::optional<QJsonValue> value = parseJsonDocument(bytes);
    if (!value || !value->isArray())
        return std::nullopt;
    QStringList texts;
    for (const QJsonValue& element : value->toArray()) {
        if (!element.isString())
            return std::nullopt;
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
