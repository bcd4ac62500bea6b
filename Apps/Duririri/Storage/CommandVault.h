#pragma once

#include "Domain/SessionTypes.h"
#include "Domain/StoredJson.h"
#include "Storage/SecretStore.h"
#include "Storage/SettingsStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <chrono>
#include <memory>
#include <optional>
#include <type_traits>

namespace sendra {

class SerialSecretStore;

// Everything the application keeps across launches, under the running product's storage namespace: small
// settings and lists in the shared settings file, the saved source and the private access grants in the
// keyring. Reads never fail (anything missing or unreadable is nothing stored) and callers may ignore every
// write's answer; the answers are there for those who care.
//
// The keyring is never waited on: `load()` reads its two items once, while the application is starting,
// and from then on they are read from memory. Keyring writes update that memory at once and reach the
// keyring in the order they were made.
class CommandVault : public QObject {
    Q_OBJECT

public:
    // A private access code once confirmed for a user at a server.
    struct PrivateAccessGrant {
        QString brand;
        QString identifier;
        QString username;
        QString origin;
        QDateTime validatedAt;

        friend bool operator==(const PrivateAccessGrant&, const PrivateAccessGrant&) = default;
    };

    static inline const QString sourceAccount = QStringLiteral("active-source");
    static inline const QString grantsAccount = QStringLiteral("private-access-grants");
    // A grant admits for 20 days.
    static constexpr qint64 grantLifetimeSeconds = 1'728'000;

    // How long one keyring call, and the whole start-up read, may take.
    static constexpr std::chrono::milliseconds keyringLimit{10000};

    // `keyringCallLimit` bounds each keyring call (tests shorten it).
    CommandVault(QString storageNamespace, const QString& settingsFile, std::shared_ptr<SecretStore> secrets,
                 QObject* parent = nullptr, std::chrono::milliseconds keyringCallLimit = keyringLimit);
    ~CommandVault() override;

    // The running product's vault over the shared settings file and the desktop keyring; made on first use.
    static CommandVault& shared();

    QString storageNamespace() const { return m_namespace; }

    // Reads the keyring items into memory. Until it has finished they read as nothing stored; a write made
    // meanwhile wins over what the read brings. It never blocks the thread and always ends within `bound`: an
    // item the keyring has not produced by then reads as nothing stored (its late answer is dropped), so a hung
    // keyring cannot hold the start-up screen. Await it on the vault's (the main) thread.
    QCoro::Task<> load(std::chrono::milliseconds bound = keyringLimit);
    bool isLoaded() const { return m_loaded; }
    // Finishes when every keyring write made so far has reached the keyring (or failed).
    QCoro::Task<> settled();

    bool parentalEnabled() const;
    bool setParentalEnabled(bool enabled);

    // Only a digest of the PIN is kept: SHA-256 of "<namespace>:<pin>", Base64.
    bool setPIN(const QString& pin);
    bool validatePIN(const QString& pin) const;
    bool hasPIN() const;

    bool setActiveProfileID(const std::optional<QUuid>& id);
    std::optional<QUuid> activeProfileID() const;

    // JSON lists under a settings name: QList<ViewerIdentity> ("profiles"), QStringList ("favorites.<UUID>"),
    // QList<ResumeMarker> ("resume.<UUID>").
    template <class T>
    std::optional<T> decode(const QString& name) const;
    template <class T>
    bool encode(const T& value, const QString& name);

    std::optional<SourceDraft> source() const;
    QCoro::Task<SecretStatus> clearSource();

    QCoro::Task<SecretStatus> upsertKeychainData(const QByteArray& data, const QString& account);
    std::optional<QByteArray> keychainData(const QString& account) const;
    template <class T>
    std::optional<T> keychainValue(const QString& account) const;

    // The grants still live at `now` (0 <= age < 20 days); when any were dropped, the shorter list is
    // written back.
    QList<PrivateAccessGrant> privateAccessGrants(const QDateTime& now);

    static QByteArray encodeTexts(const QStringList& texts);
    static std::optional<QStringList> decodeTexts(const QByteArray& bytes);

private:
    template <class T>
    static std::optional<T> decodeStored(const QByteArray& bytes);
    template <class T>
    static QByteArray encodeStored(const T& value);

    QString pinDigest(const QString& pin) const;
    void remember(const QString& account, std::optional<QByteArray> data);

    QString m_namespace;
    SettingsStore m_settings;
    std::shared_ptr<SerialSecretStore> m_secrets;
    QHash<QString, QByteArray> m_items;  // the keyring items as this process knows them
    QHash<QString, quint64> m_revisions; // per account, raised by every write
    bool m_loaded = false;
};

QJsonObject toJson(const CommandVault::PrivateAccessGrant& grant);
template <>
std::optional<CommandVault::PrivateAccessGrant> fromJson<CommandVault::PrivateAccessGrant>(const QJsonValue& value);

namespace detail {
template <class T>
struct IsQList : std::false_type {};
template <class R>
struct IsQList<QList<R>> : std::true_type {};
} // namespace detail

template <class T>
std::optional<T> CommandVault::decodeStored(const QByteArray& bytes)
{
    if constexpr (std::is_same_v<T, QStringList>)
        return decodeTexts(bytes);
    else if constexpr (detail::IsQList<T>::value)
        return decodeList<typename T::value_type>(bytes);
    else
        return decodeRecord<T>(bytes);
}

template <class T>
QByteArray CommandVault::encodeStored(const T& value)
{
    if constexpr (std::is_same_v<T, QStringList>)
        return encodeTexts(value);
    else if constexpr (detail::IsQList<T>::value)
        return encodeList(value);
    else
        return encodeRecord(value);
}

template <class T>
std::optional<T> CommandVault::decode(const QString& name) const
{
    const std::optional<QByteArray> bytes = m_settings.data(name);
    return bytes ? decodeStored<T>(*bytes) : std::nullopt;
}

template <class T>
bool CommandVault::encode(const T& value, const QString& name)
{
    return m_settings.setData(name, encodeStored(value));
}

template <class T>
std::optional<T> CommandVault::keychainValue(const QString& account) const
{
    const std::optional<QByteArray> bytes = keychainData(account);
    return bytes ? decodeStored<T>(*bytes) : std::nullopt;
}

} // namespace sendra
