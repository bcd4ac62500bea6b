// Against the real Secret Service (gnome-keyring) that scripts/with-keyring starts on the test bus.
#include "Storage/CommandVault.h"
#include "Storage/DesktopSecretStore.h"
#include "Storage/FileSecretStore.h"
#include "Storage/KeychainSecretStore.h"

#include "StorageTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QUuid>

using namespace sendra;

namespace {

// What the Secret Service holds for an item, read with libsecret's own tool (the store keeps binary data
// as Base64 text under the attributes server = service, user = account).
std::optional<QByteArray> lookUp(const QString& service, const QString& account)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("lookup"), QStringLiteral("server"), service, QStringLiteral("user"), account});
    if (!tool.waitForFinished(10'000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return QByteArray::fromBase64(tool.readAllStandardOutput().trimmed());
}

class KeychainTest : public StorageTest {
protected:
    void SetUp() override
    {
        StorageTest::SetUp();
        ASSERT_TRUE(await(secretServiceRunning(QDBusConnection::sessionBus())))
            << "no Secret Service on the session bus: run inside dbus-run-session -- scripts/with-keyring";
    }

    // Tests run in parallel against one keyring: each works under a service of its own.
    const QString service = QStringLiteral("app.test.") + QUuid::createUuid().toString(QUuid::WithoutBraces);
};

TEST_F(KeychainTest, ItemsReachTheSecretServiceAndLeaveIt)
{
    KeychainSecretStore store(service);
    const QByteArray secret("{\"password\":\"p+ss \xc3\xb1\"}");
    EXPECT_EQ(await(store.read(QStringLiteral("active-source"))).status, SecretStatus::notFound);
    EXPECT_EQ(await(store.write(QStringLiteral("active-source"), "first")), SecretStatus::ok);
    EXPECT_EQ(await(store.write(QStringLiteral("active-source"), secret)), SecretStatus::ok);
    EXPECT_EQ(lookUp(service, QStringLiteral("active-source")), secret);

    const SecretRead read = await(store.read(QStringLiteral("active-source")));
    EXPECT_EQ(read.status, SecretStatus::ok);
    EXPECT_EQ(read.data, secret);

    KeychainSecretStore other(service + QStringLiteral(".other"));
    EXPECT_EQ(await(other.read(QStringLiteral("active-source"))).status, SecretStatus::notFound);

    EXPECT_EQ(await(store.remove(QStringLiteral("active-source"))), SecretStatus::ok);
    EXPECT_EQ(await(store.remove(QStringLiteral("active-source"))), SecretStatus::ok);
    EXPECT_FALSE(lookUp(service, QStringLiteral("active-source")));
    EXPECT_EQ(await(store.read(QStringLiteral("active-source"))).status, SecretStatus::notFound);
}

TEST_F(KeychainTest, VaultKeepsItsKeyringItemsAcrossARestartWithoutTheFallbackFile)
{
    SourceDraft draft;
    draft.method = SourceMethod::playlist;
    draft.playlist = QStringLiteral("http://lists.example/get.php?username=a&password=b+c");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const CommandVault::PrivateAccessGrant grant{QStringLiteral("brand"), QStringLiteral("id"),
                                                 QStringLiteral("ana"), QStringLiteral("http://panel.example"), now};
    {
        CommandVault vault(service, settingsFile(), DesktopSecretStore::forService(service));
        await(vault.load());
        EXPECT_FALSE(vault.source());
        vault.upsertKeychainData(encodeRecord(SourceDraft{}), CommandVault::sourceAccount);
        vault.clearSource();
        vault.upsertKeychainData(encodeRecord(draft), CommandVault::sourceAccount);
        vault.upsertKeychainData(encodeList(QList{grant}), CommandVault::grantsAccount);
        await(vault.settled());
    }
    EXPECT_TRUE(lookUp(service, CommandVault::sourceAccount));
    EXPECT_FALSE(QFile::exists(FileSecretStore::defaultPath(service)));

    CommandVault vault(service, settingsFile(), DesktopSecretStore::forService(service));
    await(vault.load());
    EXPECT_EQ(vault.source(), draft);
    EXPECT_EQ(vault.privateAccessGrants(now), QList{grant});

    // Unlinking, then reading from disk again.
    EXPECT_EQ(await(vault.clearSource()), SecretStatus::ok);
    CommandVault reopened(service, settingsFile(), DesktopSecretStore::forService(service));
    await(reopened.load());
    EXPECT_FALSE(reopened.source());
    EXPECT_EQ(reopened.privateAccessGrants(now), QList{grant});
    EXPECT_EQ(await(reopened.upsertKeychainData(encodeList(QList<CommandVault::PrivateAccessGrant>{}),
                                                CommandVault::grantsAccount)),
              SecretStatus::ok);
    EXPECT_EQ(await(KeychainSecretStore(service).remove(CommandVault::grantsAccount)), SecretStatus::ok);
}

} // namespace
