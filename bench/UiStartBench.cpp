// The window's speed where a user feels it: from process start to the first drawn frame of the access screen
// (the vault is read off the main thread), and the redraw after a language or brand switch.
//   bench_ui_start --benchmark_repetitions=5
#include "UI/SendraApplication.h"
#include "Storage/CommandVault.h"
#include "Storage/MemorySecretStore.h"
#include "Domain/ProductBrand.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

namespace {

// Wall time from starting the executable to its first frame of the access screen.
void processToAccessFrame(benchmark::State& state)
{
    QTemporaryDir profile;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SENDRA_BENCH_FIRST_FRAME", "1");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_QUICK_BACKEND", "software");
    environment.insert("XDG_CONFIG_HOME", profile.path() + "/config");
    environment.insert("XDG_DATA_HOME", profile.path() + "/data");
    environment.insert("XDG_CACHE_HOME", profile.path() + "/cache");
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        process.start(SENDRA_BUNDLES_DIR "/brimvale/sendra", {});
        bool seen = false;
        while (!seen && process.waitForReadyRead(10000))
            seen = process.readAll().contains("access-frame");
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        process.waitForFinished(5000);
        if (!seen) {
            state.SkipWithError("the application did not draw its access screen");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(processToAccessFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

struct Window {
    QTemporaryDir folder;
    sendra::CommandVault vault{sendra::ProductBrand::storageNamespace(sendra::ProductBrand::current()),
                               folder.filePath("sendra.ini"), std::make_shared<sendra::MemorySecretStore>()};
    std::unique_ptr<sendra::ui::SendraApplication> app;

    Window()
    {
        qputenv("SENDRA_SETTINGS_FILE", folder.filePath("sendra.ini").toUtf8());
        sendra::ui::SendraApplication::Setup setup;
        setup.vault = &vault;
        app = std::make_unique<sendra::ui::SendraApplication>(setup);
        app->start();
        app->window()->resize(1440, 900);
        app->window()->show();
        if (!QTest::qWaitFor([this] { return app->deck() && app->deck()->phase() == sendra::CommandDeck::Phase::access; }))
            qFatal("the access screen did not come up");
        QTest::qWait(200);
    }

    // Time until the window has drawn the frame after `change`.
    double redraw(const std::function<void()>& change)
    {
        QSignalSpy frames(app->window(), &QQuickWindow::frameSwapped);
        QElapsedTimer clock;
        clock.start();
        change();
        app->window()->update();
        frames.wait(2000);
        return double(clock.nsecsElapsed()) / 1e9;
    }
};

void languageSwitchRedraw(benchmark::State& state)
{
    Window window;
    bool english = false;
    for (auto _ : state) {
        english = !english;
        state.SetIterationTime(window.redraw([&] {
            window.app->deck()->selectLanguage(english ? sendra::AppLanguage::english : sendra::AppLanguage::spanish);
        }));
    }
}
BENCHMARK(languageSwitchRedraw)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void brandSwitchRedraw(benchmark::State& state)
{
    Window window;
    const int paletteType = qmlTypeId("Sendra.App", 1, 0, "CommandPalette");
    QObject* palette = paletteType < 0 ? nullptr : window.app->engine().singletonInstance<QObject*>(paletteType);
    if (!palette) {
        state.SkipWithError("no palette");
        return;
    }
    bool orange = false;
    for (auto _ : state) {
        orange = !orange;
        state.SetIterationTime(window.redraw([&] {
            QMetaObject::invokeMethod(palette, "setBrandColors",
                                      Q_ARG(QString, orange ? QStringLiteral("#ff9f0a") : QStringLiteral("#f5f5f7")),
                                      Q_ARG(QString, QStringLiteral("#686872")));
        }));
    }
}
BENCHMARK(brandSwitchRedraw)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    qputenv("SENDRA_BUNDLE_DIR", SENDRA_BUNDLES_DIR "/brimvale");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    QGuiApplication app(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
