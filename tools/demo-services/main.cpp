// sendra-demo-services: the platform service, an Xtream Codes panel, a private brand's panel, a playlist host and
// the speed-test service on 127.0.0.1, from the test fakes, until Ctrl-C or SIGTERM.

#include "DemoServices.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <optional>

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
    std::optional<sendra::demo::DemoServices> services;
    try {
        services.emplace(options);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "sendra-demo-services: %s\n", failure.what());
        return 1;
    }
    std::printf("%s", qPrintable(services->instructions()));
    std::fflush(stdout);

    const timespec forgetEvery{60, 0};
    while (sigtimedwait(&stopSignals, nullptr, &forgetEvery) < 0)
        services->forgetRequests();
    std::fprintf(stderr, "Stopping.\n");
    // A second Ctrl-C ends the process at once, should a client keep the servers from stopping.
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
    services.reset();
    return 0;
}
