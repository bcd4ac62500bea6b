// Writes PNGs of the interface's seeded states, in Spanish and English, at 1440x900 and 1080x700, for a person
// to look at:
//   sendra-ui-snapshots --out shots [--only access-idle,code-sheet] [--entries 3000]
// Runs offscreen by default (no display needed; video frames are not drawn there: use xvfb-run with
// QT_QPA_PLATFORM=xcb to see them). Each shot waits until the artwork the demo services draw has loaded.

#include "Snapshots.h"

#include "CommandDeckProbe.h"
#include "TestDeck.h"

#include "Shared/VlcEngine.h"
#include "UI/Deck.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace sendra::snapshots {

namespace {

std::vector<std::pair<int, std::function<void(std::vector<State>&)>>>& groups()
{
    static std::vector<std::pair<int, std::function<void(std::vector<State>&)>>> all;
    return all;
}

} // namespace

StateGroup::StateGroup(int rank, std::function<void(std::vector<State>&)> add)
{
    groups().emplace_back(rank, std::move(add));
}

std::vector<State> StateGroup::all()
{
    auto sorted = groups();
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<State> states;
    for (const auto& group : sorted)
        group.second(states);
    return states;
}

bool Driver::connectFree(const QString& identity)
{
    SourceDraft draft;
    draft.server = services.freePanel().toString();
    draft.user = QString::fromLatin1(demo::DemoAccounts::freeUser);
    draft.password = QString::fromLatin1(demo::DemoAccounts::freePassword);
    deck().setDraft(draft);
    deck().connect();
    if (!waitFor([&] { return !deck().isConnecting(); }) || deck().errorMessage())
        return false;
    if (!identity.isEmpty())
        deck().addIdentity(identity, QStringLiteral("scope"));
    return true;
}

bool Driver::playFirstFilm()
{
    if (!connectFree())
        return false;
    const NodeView films = deck().nodesByKind().value(SignalKind::cinema);
    if (films.isEmpty())
        return false;
    deck().play(films[0]);
    return true;
}

bool Driver::openCodeSheet()
{
    SourceDraft draft;
    draft.server = demo::DemoAccounts::privateIdentifier(ProductBrand::current());
    draft.user = QString::fromLatin1(demo::DemoAccounts::privateUser);
    draft.password = QString::fromLatin1(demo::DemoAccounts::privatePassword);
    deck().setDraft(draft);
    deck().connect();
    return waitFor([&] { return deck().accessCodeRequired(); });
}

} // namespace sendra::snapshots

int main(int argc, char* argv[])
{
    using namespace sendra;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") && qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qputenv("QT_QUICK_BACKEND", "software");
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    // A private profile: the tool never touches the user's settings or keyring.
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", (profile.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (profile.path() + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (profile.path() + "/cache").toUtf8());
    qputenv("SENDRA_REDUCE_MOTION", "1");
    // The product and its English table: Brimvale Sendra's bundle in the build tree unless told otherwise.
    if (qEnvironmentVariableIsEmpty("SENDRA_BUNDLE_DIR"))
        qputenv("SENDRA_BUNDLE_DIR", SENDRA_BUNDLES_DIR "/brimvale");

    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("sendra-ui-snapshots"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    playback::VlcEngine::setInstanceArguments({QStringLiteral("--aout=adummy")});

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes PNGs of the interface's states."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Folder for the PNGs."),
                                       QStringLiteral("dir"), QStringLiteral("ui-snapshots"));
    const QCommandLineOption onlyOption(QStringLiteral("only"), QStringLiteral("Comma-separated state names."),
                                        QStringLiteral("names"));
    const QCommandLineOption entriesOption(QStringLiteral("entries"), QStringLiteral("Demo catalogue size."),
                                           QStringLiteral("count"), QStringLiteral("3000"));
    const QCommandLineOption listOption(QStringLiteral("list"), QStringLiteral("List the states and exit."));
    parser.addOptions({outOption, onlyOption, entriesOption, listOption});
    parser.process(app);

    const std::vector<snapshots::State> states = snapshots::StateGroup::all();
    if (parser.isSet(listOption)) {
        for (const auto& state : states)
            std::printf("%s\n", qPrintable(state.name));
        return 0;
    }
    const QStringList only = parser.value(onlyOption).split(u',', Qt::SkipEmptyParts);
    const QDir out(parser.value(outOption));
    QDir().mkpath(out.path());

    demo::DemoOptions options;
    options.portBase = 0;
    options.entries = parser.value(entriesOption).toInt();
    demo::DemoServices services(options);
    for (const QString& variable : services.environment())
        qputenv(variable.section(u'=', 0, 0).toUtf8().constData(), variable.section(u'=', 1).toUtf8());

    int failures = 0;
    for (const auto& state : states) {
        if (!only.isEmpty() && !only.contains(state.name))
            continue;
        const testing::TestVault store;
        const std::unique_ptr<CommandVault> vault = store.newVault();
        qputenv("SENDRA_SETTINGS_FILE", store.settingsFile().toUtf8());
        ui::SendraApplication::Setup setup;
        setup.vault = vault.get();
        ui::SendraApplication sendra(setup);
        if (!sendra.start()) {
            std::fprintf(stderr, "the window did not load\n");
            return 1;
        }
        sendra.window()->resize(1440, 900);
        sendra.window()->show();
        snapshots::Driver driver(services, sendra);
        const bool ready = driver.waitFor([&] { return sendra.deck() != nullptr; });
        if (ready)
            CommandDeckProbe::fixDraws(*sendra.deck());
        if (!ready || !state.arrange(driver)) {
            std::fprintf(stderr, "%s: could not be arranged\n", qPrintable(state.name));
            ++failures;
            continue;
        }
        for (const QString& language : {QStringLiteral("es"), QStringLiteral("en")}) {
            sendra.deck()->selectLanguage(language == u"en" ? AppLanguage::english : AppLanguage::spanish);
            for (const QSize size : {QSize(1440, 900), QSize(1080, 700)}) {
                sendra.window()->resize(size);
                driver.settle(400);
                QQuickWindow* pictured = driver.shotWindow ? driver.shotWindow : sendra.window();
                if (int pending = 0; !driver.waitForPictures(pictured, 20000, &pending))
                    std::fprintf(stderr, "%s: %d pictures still loading\n", qPrintable(state.name), pending);
                const QString file = out.filePath(
                    QStringLiteral("%1-%2-%3x%4.png").arg(state.name, language).arg(size.width()).arg(size.height()));
                QQuickWindow* shot = driver.shotWindow ? driver.shotWindow : sendra.window();
                if (!shot->grabWindow().save(file)) {
                    std::fprintf(stderr, "%s: not written\n", qPrintable(file));
                    ++failures;
                } else {
                    std::printf("%s\n", qPrintable(file));
                }
            }
        }
        sendra.deck()->selectLanguage(AppLanguage::spanish);
    }
    return failures == 0 ? 0 : 1;
}
