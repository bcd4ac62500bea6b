#include "Storage/DesktopSecretStore.h"
#include "Storage/FileSecretStore.h"
#include "Storage/MemorySecretStore.h"
#include "Storage/SerialSecretStore.h"

#include "StorageTestSupport.h"

#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/stat.h>

using namespace sendra;
using namespace std::chrono_literals;

namespace {

unsigned modeOf(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

class SecretStoresTest : public StorageTest {
protected:
    QString secretsFile() const { return path(QStringLiteral("secrets/app.test.json")); }

    void writeFile(const QByteArray& contents)
    {
        QFile file(secretsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    std::shared_ptr<MemorySecretStore> keyring = std::make_shared<MemorySecretStore>();
    std::shared_ptr<FileSecretStore> file = std::make_shared<FileSecretStore>(secretsFile());

    static std::function<QCoro::Task<bool>()> answer(const bool& value)
    {
        return [&value]() -> QCoro::Task<bool> { co_return value; };
    }

    DesktopSecretStore desktop() { return DesktopSecretStore(keyring, file, {answer(running), answer(activatable)}); }

    bool running = false;
    bool activatable = false;
};

TEST_F(SecretStoresTest, FileStoreKeepsSecretsOwnerOnlyAndReplacesThemWhole)
{
    FileSecretStore store(secretsFile());
    EXPECT_EQ(await(store.read(QStringLiteral("a"))).status, SecretStatus::notFound);
    EXPECT_EQ(await(store.remove(QStringLiteral("a"))), SecretStatus::ok);

    const QByteArray binary("{\"password\":\"p+\xc3\xb1\"}\0\xff", 22);
    EXPECT_EQ(await(store.write(QStringLiteral("a"), binary)), SecretStatus::ok);
    EXPECT_EQ(await(store.write(QStringLiteral("b"), "second")), SecretStatus::ok);
    EXPECT_EQ(await(store.write(QStringLiteral("b"), "replaced")), SecretStatus::ok);
    const SecretRead read = await(store.read(QStringLiteral("a")));
    EXPECT_EQ(read.status, SecretStatus::ok);
    EXPECT_EQ(read.data, binary);
    EXPECT_EQ(await(store.read(QStringLiteral("b"))).data, QByteArray("replaced"));

    EXPECT_EQ(modeOf(secretsFile()), 0600);
    EXPECT_EQ(modeOf(QFileInfo(secretsFile()).absolutePath()), 0700);
    EXPECT_EQ(QDir(QFileInfo(secretsFile()).absolutePath()).entryList(QDir::Files).size(), 1)
        << "no temporary file is left behind";

    EXPECT_EQ(await(store.remove(QStringLiteral("a"))), SecretStatus::ok);
    EXPECT_EQ(await(store.read(QStringLiteral("a"))).status, SecretStatus::notFound);
    EXPECT_EQ(await(store.remove(QStringLiteral("b"))), SecretStatus::ok);
    EXPECT_FALSE(QFile::exists(secretsFile())) << "the last removal takes the file away";
}

TEST_F(SecretStoresTest, FileStoreNeverReplacesAFileItCannotRead)
{
    FileSecretStore store(secretsFile());
    ASSERT_EQ(await(store.write(QStringLiteral("a"), "x")), SecretStatus::ok);
    writeFile("{\"a\": \"not base64 !!\"}");
    EXPECT_EQ(await(store.read(QStringLiteral("a"))).status, SecretStatus::failed);

    // Perhaps written by a later version, or holding the other product's secrets: nothing we do loses them.
    const QByteArray foreign = "{\"other\": \"c2VjcmV0\", truncated";
    writeFile(foreign);
    EXPECT_EQ(await(store.read(QStringLiteral("a"))).status, SecretStatus::failed);
    EXPECT_EQ(await(store.write(QStringLiteral("a"), "y")), SecretStatus::failed);
    EXPECT_EQ(await(store.remove(QStringLiteral("a"))), SecretStatus::failed);
    QFile kept(secretsFile());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), foreign);

    // The desktop store's clean-up of the file after a keyring save does not remove it either.
    running = true;
    auto desktopStore = desktop();
    EXPECT_EQ(await(desktopStore.write(QStringLiteral("a"), "z")), SecretStatus::ok);
    EXPECT_TRUE(QFile::exists(secretsFile()));
}

// A keyring that answers late: every call is answered failed within the limit of its call (not one limit after
// another for calls that queue), and when the late answers come, the last value the application stored holds.
TEST_F(SecretStoresTest, HungKeyringCallsEndFailedAtTheirLimitAndTheLastWriteHoldsWhenItWakes)
{
    SerialSecretStore serial(keyring, 100ms);
    keyring->setDelay(400ms); // asleep until long after the callers stopped waiting
    QElapsedTimer clock;
    clock.start();
    auto late = serial.write(QStringLiteral("a"), "late");
    keyring->setDelay(0ms);
    auto removal = serial.remove(QStringLiteral("a"));
    auto last = serial.write(QStringLiteral("a"), "last");
    EXPECT_EQ(await(late), SecretStatus::failed);
    EXPECT_EQ(await(removal), SecretStatus::failed);
    EXPECT_EQ(await(last), SecretStatus::failed);
    EXPECT_LT(clock.elapsed(), 250) << "queued calls each waited a limit of their own";
    EXPECT_FALSE(keyring->items().contains(QStringLiteral("a")));

    await(serial.settled());
    EXPECT_EQ(keyring->items().value(QStringLiteral("a")), QByteArray("last"));
    EXPECT_EQ(await(serial.read(QStringLiteral("a"))).data, QByteArray("last"));
    keyring->setDelay(std::chrono::hours(1));
    EXPECT_EQ(await(serial.read(QStringLiteral("a"))).status, SecretStatus::failed);
}

TEST_F(SecretStoresTest, WithoutSecretServiceSecretsGoToTheFile)
{
    activatable = true; // but its start fails, and the keyring stays away
    keyring->setFailure(SecretStatus::failed);
    auto store = desktop();
    EXPECT_EQ(await(store.write(QStringLiteral("a"), "secret")), SecretStatus::ok);
    EXPECT_TRUE(keyring->items().isEmpty());
    EXPECT_EQ(await(store.read(QStringLiteral("a"))).data, QByteArray("secret"));
    EXPECT_EQ(await(file->read(QStringLiteral("a"))).data, QByteArray("secret"));
    EXPECT_EQ(await(store.remove(QStringLiteral("a"))), SecretStatus::ok);
    EXPECT_FALSE(QFile::exists(secretsFile()));

    activatable = false;
    keyring->setFailure(std::nullopt);
    auto none = desktop();
    EXPECT_EQ(await(none.write(QStringLiteral("b"), "secret")), SecretStatus::ok);
    EXPECT_TRUE(keyring->items().isEmpty());
    EXPECT_EQ(await(file->read(QStringLiteral("b"))).data, QByteArray("secret"));
}

TEST_F(SecretStoresTest, WithSecretServiceTheKeyringIsUsedAndTheFileOnlyRemembered)
{
    // Kept by the file in an earlier session without keyring.
    ASSERT_EQ(await(file->write(QStringLiteral("old"), "from file")), SecretStatus::ok);
    running = true;
    auto store = desktop();
    EXPECT_EQ(await(store.read(QStringLiteral("old"))).data, QByteArray("from file"));

    EXPECT_EQ(await(store.write(QStringLiteral("a"), "secret")), SecretStatus::ok);
    EXPECT_EQ(keyring->items().value(QStringLiteral("a")), QByteArray("secret"));
    EXPECT_EQ(await(file->read(QStringLiteral("a"))).status, SecretStatus::notFound);

    // Saving again moves the item into the keyring; removing clears both places.
    EXPECT_EQ(await(store.write(QStringLiteral("old"), "moved")), SecretStatus::ok);
    EXPECT_FALSE(QFile::exists(secretsFile()));
    ASSERT_EQ(await(file->write(QStringLiteral("a"), "stale copy")), SecretStatus::ok);
    EXPECT_EQ(await(store.remove(QStringLiteral("a"))), SecretStatus::ok);
    EXPECT_EQ(await(store.read(QStringLiteral("a"))).status, SecretStatus::notFound);
    EXPECT_FALSE(keyring->items().contains(QStringLiteral("a")));
}

TEST_F(SecretStoresTest, ARefusingKeyringIsNotReplacedByTheFile)
{
    running = true;
    auto store = desktop();
    ASSERT_EQ(await(store.write(QStringLiteral("a"), "before")), SecretStatus::ok);
    keyring->setFailure(SecretStatus::denied);
    EXPECT_EQ(await(store.write(QStringLiteral("a"), "after")), SecretStatus::denied);
    EXPECT_EQ(await(store.read(QStringLiteral("a"))).status, SecretStatus::denied);
    keyring->setFailure(SecretStatus::failed);
    EXPECT_EQ(await(store.write(QStringLiteral("a"), "after")), SecretStatus::failed);
    EXPECT_FALSE(QFile::exists(secretsFile()));

    // A keyring that has gone away is an absence: the file takes the item.
    keyring->setFailure(SecretStatus::unavailable);
    EXPECT_EQ(await(store.write(QStringLiteral("a"), "after")), SecretStatus::ok);
    EXPECT_EQ(await(file->read(QStringLiteral("a"))).data, QByteArray("after"));
    keyring->setFailure(std::nullopt);
    EXPECT_EQ(keyring->items().value(QStringLiteral("a")), QByteArray("before"));
}

TEST_F(SecretStoresTest, SerialStoreRunsOperationsInCallOrderEvenWhenDropped)
{
    SerialSecretStore serial(keyring);
    keyring->setDelay(50ms);
    serial.write(QStringLiteral("a"), "first"); // dropped at once: still runs, in its turn
    keyring->setDelay(0ms);
    serial.remove(QStringLiteral("a"));
    keyring->setDelay(20ms);
    auto last = serial.write(QStringLiteral("b"), "kept");
    keyring->setDelay(0ms);
    const SecretRead read = await(serial.read(QStringLiteral("b")));
    EXPECT_EQ(read.data, QByteArray("kept"));
    EXPECT_EQ(await(last), SecretStatus::ok);
    EXPECT_FALSE(keyring->items().contains(QStringLiteral("a")));
    EXPECT_TRUE(serial.idle());

    // Operations outlive the serial store that queued them.
    auto orphan = std::make_unique<SerialSecretStore>(keyring);
    keyring->setDelay(20ms);
    orphan->write(QStringLiteral("c"), "one");
    auto second = orphan->write(QStringLiteral("c"), "two");
    orphan.reset();
    EXPECT_EQ(await(second), SecretStatus::ok);
    EXPECT_EQ(keyring->items().value(QStringLiteral("c")), QByteArray("two"));
}

TEST_F(SecretStoresTest, NoBusMeansNoSecretService)
{
    const QDBusConnection none = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                               QStringLiteral("sendra-no-bus"));
    EXPECT_FALSE(await(secretServiceRunning(none)));
    EXPECT_FALSE(await(secretServiceActivatable(none)));
    QDBusConnection::disconnectFromBus(QStringLiteral("sendra-no-bus"));
}

} // namespace
