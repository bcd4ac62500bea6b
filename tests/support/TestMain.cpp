// Test entry point shared by every test binary: no test may touch the user's real home, settings or keychain,
// so HOME and the XDG folders point into a temporary directory that lives as long as the process.
#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef SENDRA_TEST_GUI
#include <QGuiApplication>
#endif

#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    QTemporaryDir home(QDir::tempPath() + "/sendra-test-XXXXXX");
    if (!home.isValid())
        return 2;
    const QByteArray root = home.path().toUtf8();
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));

#ifdef SENDRA_TEST_GUI
    QGuiApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    app.setOrganizationName("SendraTests");
    app.setApplicationName("SendraTests");
    return RUN_ALL_TESTS();
}
