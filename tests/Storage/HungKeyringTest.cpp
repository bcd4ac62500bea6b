// A Secret Service that stops answering: a real gnome-keyring of the test's own, on a private session bus, stopped
// (SIGSTOP) and woken again (SIGCONT). The shared keyring of scripts/with-keyring is not used: stopping it would
// hold every other keychain test.
#include "Storage/CommandVault.h"
#include "Storage/DesktopSecretStore.h"
#include "Storage/KeychainSecretStore.h"
#include "Storage/WithinTime.h"

#include "StorageTestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <signal.h>

using namespace sendra;
using namespace std::chrono_literals;

namespace {

QCoro::Task<bool> settled(CommandVault& vault)
{
    co_await vault.settled();
    co_return true;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size()
        && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

class HungKeyringTest : public StorageTest {
protected:
    void SetUp() override
    {
        StorageTest::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty())
            GTEST_SKIP() << "gnome-keyring-daemon is missing (scripts/bootstrap installs it)";
        ASSERT_TRUE(startBus());
        ASSERT_TRUE(startKeyring());
    }

    void TearDown() override
    {
        if (keyring.state() != QProcess::NotRunning) {
            ::kill(pid_t(keyring.processId()), SIGCONT);
            keyring.kill();
            keyring.waitForFinished(5000);
        }
        if (bus.state() != QProcess::NotRunning) {
            bus.kill();
            bus.waitForFinished(5000);
        }
    }

    // A bus of its own, before anything in this process has touched the session bus.
    bool startBus()
    {
        const QString config = path(QStringLiteral("bus.conf"));
        const QByteArray text = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
                                " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                "<busconfig><type>session</type><listen>unix:path="
                                + path(QStringLiteral("bus")).toUtf8()
                                + "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                  "<allow send_destination=\"*\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                  "</policy></busconfig>\n";
        if (!writeFile(config, text))
            return false;
        bus.setStandardErrorFile(QProcess::nullDevice());
        bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                                  QStringLiteral("--print-address=1")});
        if (!bus.waitForStarted(5000))
            return false;
        while (!bus.canReadLine()) {
            if (!bus.waitForReadyRead(5000))
                return false;
        }
        const QByteArray address = bus.readLine().trimmed();
        return !address.isEmpty() && qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }

    // Laid out as scripts/with-keyring does: an unencrypted, never locked login keyring.
    bool startKeyring()
    {
        const QString home = path(QStringLiteral("keyring-home"));
        const QString keyrings = home + QStringLiteral("/data/keyrings");
        if (!QDir().mkpath(keyrings) || !QDir().mkpath(home + QStringLiteral("/runtime")))
            return false;
        QFile::setPermissions(keyrings, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile::setPermissions(home + QStringLiteral("/runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (!writeFile(keyrings + QStringLiteral("/default"), "login")
            || !writeFile(keyrings + QStringLiteral("/login.keyring"),
                          "[keyring]\ndisplay-name=login\nctime=0\nmtime=0\nlock-on-idle=false\nlock-after=false\n"))
            return false;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
        keyring.setProcessEnvironment(environment);
        keyring.setStandardInputFile(QProcess::nullDevice());
        keyring.setStandardOutputFile(QProcess::nullDevice());
        keyring.setStandardErrorFile(QProcess::nullDevice());
        keyring.start(QStringLiteral("gnome-keyring-daemon"),
                      {QStringLiteral("--foreground"), QStringLiteral("--components=secrets")});
        if (!keyring.waitForStarted(5000))
            return false;
        QElapsedTimer waited;
        waited.start();
        while (!await(secretServiceRunning(QDBusConnection::sessionBus()))) {
            if (waited.elapsed() > 10000 || keyring.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(50);
        }
        return true;
    }

    QProcess bus;
    QProcess keyring;
};

// Writes and a removal made while the service sleeps are each reported failed 10 s after they were made (not one
// 10 s after another), and when it wakes, the keyring holds what the application stored last.
TEST_F(HungKeyringTest, WritesFailAtTenSecondsAndTheLastOneHoldsWhenTheServiceWakes)
{
    const QString service = QStringLiteral("app.test.hung");
    CommandVault vault(service, settingsFile(), DesktopSecretStore::forService(service));
    await(vault.load());
    ASSERT_EQ(await(vault.upsertKeychainData("first", CommandVault::grantsAccount)), SecretStatus::ok);
    ASSERT_EQ(await(vault.upsertKeychainData("source", CommandVault::sourceAccount)), SecretStatus::ok);

    ASSERT_EQ(::kill(pid_t(keyring.processId()), SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();
    auto second = vault.upsertKeychainData("second", CommandVault::grantsAccount);
    auto removal = vault.clearSource();
    auto last = vault.upsertKeychainData("last", CommandVault::grantsAccount);
    EXPECT_EQ(await(second), SecretStatus::failed);
    const qint64 firstAnswer = clock.elapsed();
    EXPECT_EQ(await(removal), SecretStatus::failed);
    EXPECT_EQ(await(last), SecretStatus::failed);
    const qint64 lastAnswer = clock.elapsed();
    EXPECT_GE(firstAnswer, 9000); // coarse timers may fire a little early
    EXPECT_LT(lastAnswer, 11500) << "each call waited for the one before it";
    EXPECT_EQ(vault.keychainData(CommandVault::grantsAccount), QByteArray("last"));

    ASSERT_EQ(::kill(pid_t(keyring.processId()), SIGCONT), 0);
    EXPECT_TRUE(await(withinTime(settled(vault), 20s))) << "the woken keyring did not take the late calls";
    KeychainSecretStore direct(service);
    EXPECT_EQ(await(direct.read(CommandVault::grantsAccount)).data, QByteArray("last"));
    EXPECT_EQ(await(direct.read(CommandVault::sourceAccount)).status, SecretStatus::notFound);
    CommandVault reopened(service, settingsFile(), DesktopSecretStore::forService(service));
    await(reopened.load());
    EXPECT_EQ(reopened.keychainData(CommandVault::grantsAccount), QByteArray("last"));
    EXPECT_FALSE(reopened.source());
}

} // namespace
