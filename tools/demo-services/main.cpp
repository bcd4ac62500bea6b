// sendra-demo-services: the platform service, an Xtream Codes panel, a private brand's panel, a playlist host and
// the speed-test service on 127.0.0.1, from the test fakes, until Ctrl-C or SIGTERM.

#include "DemoServices.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <optional>
#include <thread>

#include <pthread.h>

namespace {

using sendra::demo::DemoOptions;

struct Command
{
    DemoOptions options;
    bool printEnvironment = false;
};

std::optional<Command> parse(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Starts Sendra's demo services on 127.0.0.1 and prints what to type into the "
                                     "access screen.");
    parser.addHelpOption();
    const QCommandLineOption entries("entries", "Catalogue size (default 3000; 200000 for a big one).", "N", "3000");
    const QCommandLineOption portBase("port-base", "First of the five ports (default 8870; 0 takes free ports).",
                                      "port", "8870");
    const QCommandLineOption seed("seed", "Seed of the generated catalogue (default 1).", "seed", "1");
    const QCommandLineOption anyOrigin("any-origin", "Also accept every other server or playlist as a free source.");
    const QCommandLineOption printEnv("print-env", "Print the export lines for these options and exit.");
    parser.addOptions({entries, portBase, seed, anyOrigin, printEnv});
    parser.process(app);

    Command command;
    DemoOptions& options = command.options;
    bool entriesOk = false;
    bool portOk = false;
    bool seedOk = false;
    options.entries = parser.value(entries).toInt(&entriesOk);
    options.portBase = parser.value(portBase).toInt(&portOk);
    options.seed = parser.value(seed).toULongLong(&seedOk);
    options.anyOrigin = parser.isSet(anyOrigin);
    if (!entriesOk || options.entries < 1 || options.entries > 2'000'000) {
        std::fprintf(stderr, "--entries takes a count from 1 to 2000000\n");
        return std::nullopt;
    }
    if (!portOk || options.portBase < 0 || options.portBase > 65535 - 4) {
        std::fprintf(stderr, "--port-base takes a port from 1 to 65531, or 0\n");
        return std::nullopt;
    }
    if (!seedOk) {
        std::fprintf(stderr, "--seed takes an unsigned integer\n");
        return std::nullopt;
    }
    command.printEnvironment = parser.isSet(printEnv);
    if (command.printEnvironment && options.portBase == 0) {
        std::fprintf(stderr, "--print-env needs fixed ports (a --port-base above 0)\n");
        return std::nullopt;
    }
    return command;
}

} // namespace

int main(int argc, char* argv[])
{
    // Blocked before any thread starts (Qt's and the servers' inherit the mask), so the signals wait for
    // sigtimedwait below instead of killing the process.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // The artwork is drawn with fonts, which need a GUI application; no window is ever shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    app.setApplicationName("sendra-demo-services");
    const std::optional<Command> command = parse(app);
    if (!command)
        return 2;
    const DemoOptions& options = command->options;
    if (command->printEnvironment) {
        for (const QString& variable : sendra::demo::DemoServices::environmentFor(options.portBase))
            std::printf("export %s\n", qPrintable(variable));
        return 0;
    }

    std::fprintf(stderr, "Making the clips and a catalogue of %d entries...\n", options.entries);
    // The clips first, here: ffmpeg writes each into a temporary folder that goes once it is read, so whatever
    // stops the process after this leaves no folder behind. The services find them made.
    try {
        sendra::demo::DemoClips::make();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sendra-demo-services: %s\n", failure.what());
        return 1;
    }
    const timespec now{0, 0};
    if (const int signal = sigtimedwait(&stopSignals, nullptr, &now); signal > 0)
        return 128 + signal;

    // A big catalogue takes many seconds to build, and a stop must not wait for it: it is built on a thread of
    // its own while this one listens. Nothing of a half-built catalogue outlives the process, so a stop then
    // ends it at once.
    std::optional<sendra::demo::DemoServices> services;
    std::exception_ptr failure;
    std::atomic<bool> built = false;
    std::thread builder([&] {
        try {
            services.emplace(options);
        } catch (...) {
            failure = std::current_exception();
        }
        built = true;
    });
    const timespec listenEvery{0, 20'000'000};
    while (!built) {
        if (const int signal = sigtimedwait(&stopSignals, nullptr, &listenEvery); signal > 0) {
            std::fprintf(stderr, "Stopping.\n");
            std::_Exit(128 + signal);
        }
    }
    builder.join();
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "sendra-demo-services: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "sendra-demo-services: the services could not start\n");
        }
        return 1;
    }
    std::printf("%s", qPrintable(services->instructions()));
    std::fflush(stdout);

    const timespec forgetEvery{60, 0};
    while (sigtimedwait(&stopSignals, nullptr, &forgetEvery) < 0)
        services->forgetRequests();
    std::fprintf(stderr, "Stopping.\n");
    // The signals stay blocked: a second one (Ctrl-C, then the script's TERM) waits unheard while the servers
    // stop, instead of killing the process half-way through.
    services.reset();
    return 0;
}
