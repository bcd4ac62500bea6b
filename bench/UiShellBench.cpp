// The signed-in window over a seeded catalogue of 200,000 or 600,000 entries in about 5,000 groups, offscreen with
// the software renderer: switching sections, typing "matrix" in discover, opening the category menu, scrolling a
// rail and the library's rows; and, over six films, each screen that draws a title of megabytes. Each timing runs
// from the action (a real key or click, or a scroll step) to the end of the frame that shows it; a favourite toggled
// beside thirty resume points of long titles is timed by the GUI thread's CPU instead.
// QT_QPA_UPDATE_IDLE_TIME is 0 so the platform's 5 ms frame throttle is not counted. Every benchmark but the long
// titles' takes the catalogue size as its argument; the scene installs that catalogue when it changes.
// The first keystrokes of a process are measured in processes of their own (this program started again with
// --first-keys), since every later keystroke in one window finds the grid's tiles, fonts and images made.
#include "CommandDeckProbe.h"
#include "TestDeck.h"
#include "SyntheticCatalog.h"

#include "Domain/ProductBrand.h"
#include "NetKit/HttpSession.h"
#include "NetKit/Workers.h"
#include "State/CatalogSnapshot.h"
#include "State/CommandDeck.h"
#include "State/ReleaseOnWorker.h"
#include "Storage/CommandVault.h"
#include "UI/AppQml.h"
#include "UI/Browse.h"
#include "UI/Deck.h"
#include "UI/SendraApplication.h"
#include "UI/UiConfig.h"
#include "fakes/ResidentMemory.h"

#include "CpuClock.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QGuiApplication>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <thread>

using namespace sendra;
using sendra::testing::cpuSeconds;
using sendra::testing::film;

namespace {

constexpr int groupCount = 5'000;

class Scene
{
public:
    explicit Scene(int entries = 200'000)
    {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        ui::UiConfig::setDefaults({.carouselInterval = 7000, .animationsEnabled = false});
        vault = store.newVault();
        ui::SendraApplication::Setup setup;
        setup.vault = vault.get();
        // Nothing is fetched: the catalogue is installed directly.
        setup.clients = [](QNetworkAccessManager* manager) {
            return CommandDeck::Clients::over(netkit::HttpSession(manager));
        };
        app = std::make_unique<ui::SendraApplication>(std::move(setup));
        if (!app->start())
            qFatal("the window did not load");
        window()->resize(1440, 900);
        window()->show();
        waitUntil([this] { return app->deck() != nullptr; }, 20000);
        useCatalog(entries);
        deck().addIdentity(QStringLiteral("Ana"), QStringLiteral("scope"));
        waitUntil([this] { return find(QStringLiteral("shell.screen")) != nullptr; }, 20000);
        settle();
    }

    // Installs a seeded catalogue of `entries` unless it is the one shown.
    void useCatalog(int entries)
    {
        if (entries == m_entries)
            return;
        CommandDeckProbe::install(deck(), bench::syntheticCatalog(entries, groupCount, 7));
        m_entries = entries;
        m_nodesName.clear();
        // The old catalogue is released on a worker: let it go before anything is measured.
        netkit::backgroundPool().waitUntilIdle();
        settle();
    }

    // Installs a small catalogue of the caller's, named by `name`, unless it is the one shown.
    void useNodes(const QString& name, const std::function<QList<MediaNode>()>& nodes)
    {
        if (name == m_nodesName)
            return;
        CommandDeckProbe::install(deck(), nodes());
        m_entries = 0;
        m_nodesName = name;
        netkit::backgroundPool().waitUntilIdle();
        settle();
    }

    QQuickWindow* window() const { return app->window(); }
    const testing::TestVault& storage() const { return store; }
    CommandDeck& deck() const { return *app->deck(); }
    template <class Singleton>
    Singleton& singleton() const
    {
        return *ui::appSingleton<Singleton>(app->engine());
    }

    QObject* find(const QString& name) const { return search(window()->contentItem(), name); }
    QQuickItem* item(const QString& name) const { return qobject_cast<QQuickItem*>(find(name)); }

    static void waitUntil(const std::function<bool()>& condition, int ms = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > ms)
                qFatal("timed out waiting in the benchmark scene");
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }

    // Runs the event loop until no frame has been drawn for 40 ms; replaced consoles are deleted.
    void settle() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QElapsedTimer quiet;
        quiet.start();
        const auto connection = QObject::connect(window(), &QQuickWindow::frameSwapped, [&] { quiet.restart(); });
        while (quiet.elapsed() < 40)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QObject::disconnect(connection);
    }

    // Milliseconds from the action to the end of the next frame; negative when no frame came within `waitMs`.
    double toFrame(const std::function<void()>& action, int waitMs = 2000) const
    {
        bool swapped = false;
        const auto connection = QObject::connect(window(), &QQuickWindow::frameSwapped, [&] { swapped = true; });
        QElapsedTimer clock;
        clock.start();
        action();
        while (!swapped && clock.elapsed() < waitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        QObject::disconnect(connection);
        return swapped ? ms : -1;
    }

    void click(QQuickItem* target) const
    {
        const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        QTest::mouseClick(window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }

    void showSection(ui::Deck::Dock dock) const
    {
        singleton<ui::Deck>().selectDock(dock);
        settle();
    }

private:
    static QObject* search(QObject* object, const QString& name)
    {
        if (!object)
            return nullptr;
        if (object->objectName() == name)
            return object;
        for (QObject* child : object->children()) {
            if (QObject* found = search(child, name))
                return found;
        }
        if (auto* item = qobject_cast<QQuickItem*>(object)) {
            for (QQuickItem* child : item->childItems()) {
                if (QObject* found = search(child, name))
                    return found;
            }
        }
        return nullptr;
    }

    testing::TestVault store;
    std::unique_ptr<CommandVault> vault;
    std::unique_ptr<ui::SendraApplication> app;
    int m_entries = 0;
    QString m_nodesName;
};

Scene* scene = nullptr;

using Dock = ui::Deck::Dock;

const std::vector<int64_t> sizes{200'000, 600'000};

void eachSize(benchmark::internal::Benchmark* b)
{
    b->ArgName("entries");
    for (int64_t size : sizes)
        b->Arg(size);
}

// One measurement per repetition, so the aggregates are medians (and the slowest) of single actions or frames.
template <int times>
void eachAlone(benchmark::internal::Benchmark* b)
{
    b->Iterations(1)->Repetitions(times)->ReportAggregatesOnly(true)->ComputeStatistics(
        "max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
}

void report(benchmark::State& state, double ms)
{
    if (ms < 0)
        state.SkipWithError("no frame was drawn");
    else
        state.SetIterationTime(ms / 1000.0);
}

// From another section to this one, until its first frame.
void BM_SwitchSection(benchmark::State& state)
{
    scene->useCatalog(int(state.range(0)));
    const auto target = Dock(state.range(1));
    const Dock from = target == Dock::Center ? Dock::Library : Dock::Center;
    for (auto _ : state) {
        scene->showSection(from);
        report(state, scene->toFrame([&] { scene->singleton<ui::Deck>().selectDock(target); }));
    }
    scene->settle();
}
BENCHMARK(BM_SwitchSection)->ArgNames({"entries", "dock"})->ArgsProduct({sizes, {0, 1, 2, 3}})->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Apply(eachAlone<30>);

const QString word = QStringLiteral("matrix");

// The GUI thread's CPU time during the last keystroke typeLetter() measured.
double lastKeyCpuMs = 0;

// Types the letter at `position` of `text` into the discover field after the letters before it. Unless `known`,
// the deck has not searched for the new text before (it has for the letters before it, as when a user types a new
// word).
double typeLetter(const QString& text, int position, bool known = false)
{
    if (!known)
        CommandDeckProbe::forgetSearches(scene->deck());
    scene->singleton<ui::Browse>().setSearchText(text.left(position));
    scene->settle();
    QQuickItem* field = scene->item(QStringLiteral("discover.field"));
    field->forceActiveFocus();
    field->setProperty("cursorPosition", position);
    const QChar letter = text.at(position);
    const double cpuBefore = cpuSeconds() * 1e3;
    const double ms = scene->toFrame([&] {
        QTest::keyClick(scene->window(), Qt::Key(letter.toUpper().unicode()), Qt::NoModifier);
    });
    lastKeyCpuMs = cpuSeconds() * 1e3 - cpuBefore;
    if (scene->deck().searchText() != text.left(position + 1))
        qFatal("the field did not write the search text");
    // The frame measured shows the new results: the first tiles read the first results.
    const NodeView results = scene->deck().searchResults();
    for (int i = 0; i < std::min<int>(4, int(results.size())); ++i) {
        QObject* tile = scene->find(QStringLiteral("discover.result.%1").arg(i));
        if (!tile || tile->property("title").toString() != results[i].title)
            qFatal("the results grid does not show the new results");
    }
    return ms;
}

double typeLetter(int position, bool known = false)
{
    return typeLetter(word, position, known);
}

// The whole word typed once, each letter searched for the first time.
void BM_TypeMatrixFirstTime(benchmark::State& state)
{
    scene->useCatalog(int(state.range(0)));
    scene->showSection(Dock::Discover);
    for (auto _ : state) {
        double total = 0;
        for (int i = 0; i < word.size(); ++i) {
            const double ms = typeLetter(i);
            total += ms;
            state.counters[word.left(i + 1).toStdString() + "_ms"] = ms;
        }
        report(state, total / word.size());
    }
}
BENCHMARK(BM_TypeMatrixFirstTime)->Apply(eachSize)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// Key to frame for the letter at `position`, its text searched for the first time in every repetition.
void BM_TypeMatrixKeystroke(benchmark::State& state)
{
    scene->useCatalog(int(state.range(0)));
    scene->showSection(Dock::Discover);
    for (auto _ : state)
        report(state, typeLetter(int(state.range(1))));
    // One keystroke per repetition (eachAlone), so the aggregates are its median and slowest.
    state.counters["gui_cpu_ms"] = lastKeyCpuMs;
    state.counters["results"] = double(scene->deck().searchResults().size());
}
BENCHMARK(BM_TypeMatrixKeystroke)->ArgNames({"entries", "letter"})->ArgsProduct({sizes, {0, 1, 2, 3, 4, 5}})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Apply(eachAlone<30>);

// The same keystroke when the deck already knows its results (typed again after a correction).
void BM_TypeMatrixKeystrokeKnown(benchmark::State& state)
{
    scene->useCatalog(int(state.range(0)));
    scene->showSection(Dock::Discover);
    typeLetter(int(state.range(1)));
    for (auto _ : state)
        report(state, typeLetter(int(state.range(1)), true));
}
BENCHMARK(BM_TypeMatrixKeystrokeKnown)->ArgNames({"entries", "letter"})->ArgsProduct({sizes, {0}})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Apply(eachAlone<30>);

// The first two keystrokes of a process, as a user meets them: this program started again (--first-keys) with a
// window over `entries` entries opens discover and types `keys`; it prints each key's time to its frame.
int measureFirstKeys(int entries, const QString& keys)
{
    Scene built(entries);
    scene = &built;
    scene->showSection(Dock::Discover);
    netkit::backgroundPool().waitUntilIdle();
    scene->settle();
    const double first = typeLetter(keys, 0, true);
    const double firstCpu = lastKeyCpuMs;
    const double second = typeLetter(keys, 1, true);
    const double secondCpu = lastKeyCpuMs;
    scene = nullptr;
    std::printf("first_ms %.3f\nsecond_ms %.3f\nfirst_cpu_ms %.3f\nsecond_cpu_ms %.3f\n", first, second, firstCpu,
                secondCpu);
    return first < 0 || second < 0 ? 1 : 0;
}

// Key to frame for the first and the second letter typed in a fresh process (each repetition is one): what no
// benchmark that types again in one window sees (first use of the grid's tiles, of fonts and images).
void BM_FirstKeystrokesOfAProcess(benchmark::State& state, const char* keys)
{
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--first-keys"), QString::number(state.range(0)), QString::fromLatin1(keys)});
        if (!child.waitForFinished(300'000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            state.SkipWithError("the measured process failed");
            break;
        }
        std::map<QByteArray, double> values;
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2)
                values[parts[0]] = parts[1].toDouble();
        }
        report(state, values["first_ms"]);
        state.counters["first_ms"] = values["first_ms"];
        state.counters["second_ms"] = values["second_ms"];
        state.counters["first_cpu_ms"] = values["first_cpu_ms"];
        state.counters["second_cpu_ms"] = values["second_cpu_ms"];
    }
}
BENCHMARK_CAPTURE(BM_FirstKeystrokesOfAProcess, fa, "fa")->ArgName("entries")->Arg(600'000)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Apply(eachAlone<10>);
BENCHMARK_CAPTURE(BM_FirstKeystrokesOfAProcess, ma, "ma")->ArgName("entries")->Arg(600'000)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Apply(eachAlone<10>);

// A click on the category menu (every category of every kind: ~5,000) until the frame that shows it.
void BM_OpenCategoryMenu(benchmark::State& state)
{
    scene->useCatalog(int(state.range(0)));
    scene->showSection(Dock::Library);
    scene->singleton<ui::Browse>().setChosenKind(QString());
    scene->settle();
    QQuickItem* button = scene->item(QStringLiteral("library.menu"));
    QObject* popup = scene->find(QStringLiteral("library.menu.popup"));
    for (auto _ : state) {
        report(state, scene->toFrame([&] { scene->click(button); }));
        if (!popup->property("visible").toBool())
            state.SkipWithError("the menu did not open");
        QMetaObject::invokeMethod(popup, "close");
        scene->settle();
    }
    state.counters["groups"] = double(scene->deck().groups().size());
}
BENCHMARK(BM_OpenCategoryMenu)->Apply(eachSize)->UseManualTime()->Unit(benchmark::kMillisecond)->Apply(eachAlone<30>);

// Frame times while a category row's rail slides by 24 pixels a frame (its step animation), end to end and over.
void BM_ScrollRailFrame(benchmark::State& state)
{
    scene->useCatalog(int(state.range(0)));
    scene->showSection(Dock::Library);
    QObject* rail = scene->find(QStringLiteral("library.row.0.rail"));
    auto* view = rail ? rail->property("view").value<QQuickItem*>() : nullptr;
    if (!view) {
        state.SkipWithError("no rail");
        return;
    }
    for (auto _ : state) {
        const qreal end = view->property("contentWidth").toReal() - view->width();
        qreal x = view->property("contentX").toReal() + 24;
        if (x > end)
            x = 0;
        report(state, scene->toFrame([&] { view->setProperty("contentX", x); }));
    }
    state.counters["tiles"] = rail->property("count").toDouble();
}
BENCHMARK(BM_ScrollRailFrame)->Apply(eachSize)->UseManualTime()->Unit(benchmark::kMillisecond)->Apply(eachAlone<300>);

QQuickItem* showManyRows()
{
    scene->showSection(Dock::Library);
    scene->singleton<ui::Browse>().setChosenKind(QString());
    // As after many presses of "Más categorías".
    scene->find(QStringLiteral("library.console"))->setProperty("visibleCategoryCount", 1200);
    scene->settle();
    return scene->item(QStringLiteral("library.rows"));
}

// Frame times while the library's rows scroll by 60 pixels a frame.
void BM_ScrollLibraryRowsFrame(benchmark::State& state)
{
    scene->useCatalog(int(state.range(0)));
    QQuickItem* rows = showManyRows();
    for (auto _ : state) {
        const qreal y = rows->property("contentY").toReal() + 60;
        report(state, scene->toFrame([&] { rows->setProperty("contentY", y); }));
    }
}
BENCHMARK(BM_ScrollLibraryRowsFrame)->Apply(eachSize)->UseManualTime()->Unit(benchmark::kMillisecond)->Apply(eachAlone<600>);

int countItems(QQuickItem* item, const char* typePrefix)
{
    int count = QByteArray(item->metaObject()->className()).startsWith(typePrefix) ? 1 : 0;
    for (QQuickItem* child : item->childItems())
        count += countItems(child, typePrefix);
    return count;
}

int countAllItems(QQuickItem* item)
{
    int count = 1;
    for (QQuickItem* child : item->childItems())
        count += countAllItems(child);
    return count;
}

// Scrolls the rows down a screen at a time until row 1,000 is at the top; counts what is alive then.
void BM_LiveDelegatesAfter1000Rows(benchmark::State& state)
{
    scene->useCatalog(int(state.range(0)));
    QQuickItem* rows = showManyRows();
    QMetaObject::invokeMethod(rows, "positionViewAtBeginning");
    scene->settle();
    int frames = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            const int top = [&] {
                int index = -1;
                QMetaObject::invokeMethod(rows, "indexAt", Q_RETURN_ARG(int, index), Q_ARG(qreal, 30.0),
                                          Q_ARG(qreal, rows->property("contentY").toReal() + 1));
                return index;
            }();
            if (top >= 1000)
                break;
            const qreal y = rows->property("contentY").toReal() + rows->height() / 2;
            scene->toFrame([&] { rows->setProperty("contentY", y); });
            ++frames;
        }
        report(state, double(clock.nsecsElapsed()) / 1e6);
    }
    auto* content = rows->property("contentItem").value<QQuickItem*>();
    state.counters["frames"] = frames;
    state.counters["row_delegates"] = double(content->childItems().size());
    state.counters["tiles_in_window"] = countItems(scene->window()->contentItem(), "MediaTile");
    state.counters["items_in_window"] = countAllItems(scene->window()->contentItem());
}
BENCHMARK(BM_LiveDelegatesAfter1000Rows)->Apply(eachSize)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// Five films and one titled by `title` (0: an ordinary title, 1: 50,000 emoji joined by zero-width joiners, 2:
// 2,000,000 letters) in a category of its own.
QList<MediaNode> longTitleCatalog(int title)
{
    QString text = QStringLiteral("Película 6");
    if (title == 1) {
        const QString family[] = {QString::fromUtf8("👨"), QString::fromUtf8("👩"), QString::fromUtf8("👧"),
                                  QString::fromUtf8("👦")};
        text.clear();
        for (int i = 0; i < 50'000; ++i)
            text += (i > 0 ? QString(QChar(0x200D)) : QString()) + family[i % 4];
    } else if (title == 2) {
        text = QString(2'000'000, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(char16_t(u'a' + i % 26));
    }
    QList<MediaNode> nodes;
    for (int id = 1; id <= 5; ++id)
        nodes.append(film(id, QStringLiteral("Película %1").arg(id), QStringLiteral("5"), QStringLiteral("Acción")));
    nodes.append(film(6, text, QStringLiteral("8"), QStringLiteral("Extensos")));
    return nodes;
}

// From a screen without it to the first frame of one that draws the sixth film's title: 0 the spotlight's page of
// it, 1 its category's grid, 2 the search results, 3 the detail sheet. `peak_growth_mb` is the largest
// rise of resident memory during one of those frames, `rss_mb` resident memory after them.
void BM_ShowLongTitle(benchmark::State& state)
{
    const int title = int(state.range(0));
    const int screen = int(state.range(1));
    scene->useNodes(QStringLiteral("long title %1").arg(title), [title] { return longTitleCatalog(title); });
    auto& browse = scene->singleton<ui::Browse>();
    const MediaNode node = scene->deck().nodesByGroup(QStringLiteral("movies:8"))[0];
    const QList<MediaNode> spotlight = scene->deck().spotlightNodes();
    const auto page = int(std::find_if(spotlight.begin(), spotlight.end(),
                                       [&](const MediaNode& n) { return n.id == node.id; }) - spotlight.begin());
    double peak = 0;
    for (auto _ : state) {
        scene->deck().setSelectedNode(std::nullopt);
        browse.setSearchText(QString());
        browse.chooseGroup(QString());
        scene->showSection(screen == 0 ? Dock::Center : screen == 2 ? Dock::Discover : Dock::Library);
        QObject* carousel = scene->find(QStringLiteral("carousel"));
        if (screen == 0) {
            carousel->setProperty("index", (page + 1) % int(spotlight.size()));
            scene->settle();
        }
        const std::function<void()> actions[] = {
            [&] { carousel->setProperty("index", page); },
            [&] { browse.chooseGroup(QStringLiteral("movies:8")); },
            [&] { browse.setSearchText(QStringLiteral("extensos")); },
            [&] { scene->deck().open(node); },
        };
        const qint64 before = fakes::resetResidentPeak();
        report(state, scene->toFrame(actions[screen], 30'000));
        peak = std::max(peak, double(fakes::statusKilobytes("VmHWM:") - before) / 1024.0);
        scene->settle();
    }
    state.counters["peak_growth_mb"] = peak;
    state.counters["rss_mb"] = double(fakes::statusKilobytes("VmRSS:")) / 1024.0;
}
BENCHMARK(BM_ShowLongTitle)->ArgNames({"title", "screen"})->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3}})->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Apply(eachAlone<5>);

// Thirty films played, so thirty resume points, with ordinary titles (title 0) or titles of 1,000,000 letters
// (title 1), then a favourite toggled from the centre's resume rail. `cpu_ms` is the GUI thread's CPU time from the
// toggle until the window has settled, `settings_kb` the settings file's size after it, and `markers_back` how many
// of the thirty a deck made anew over that file (a restart) finds.
void BM_FavouriteBesideLongMarkers(benchmark::State& state)
{
    const int title = int(state.range(0));
    QList<MediaNode> films;
    for (int i = 0; i < 30; ++i) {
        MediaNode node;
        node.id = QString::number(1000 * (title + 1) + i);
        node.kind = SignalKind::cinema;
        node.title = QStringLiteral("Película ") + node.id;
        if (title == 1) {
            const qsizetype start = node.title.size();
            node.title.resize(1'000'000);
            for (qsizetype at = start; at < node.title.size(); ++at)
                node.title[at] = QChar(char16_t(u'a' + at % 26));
        }
        node.groupID = QStringLiteral("5");
        node.groupName = QStringLiteral("Acción");
        node.fileSuffix = QStringLiteral("mp4");
        node.directURL = QUrl(QStringLiteral("http://127.0.0.1:9/%1.mp4").arg(node.id));
        films.append(node);
    }
    scene->useNodes(QStringLiteral("marked films %1").arg(title), [&films] { return films; });
    CommandDeck& deck = scene->deck();
    for (const MediaNode& film : films)
        deck.addResume(film, 0.5, std::nullopt);
    scene->showSection(Dock::Center);
    double cpuMs = 0;
    for (auto _ : state) {
        const double before = cpuSeconds() * 1e3;
        scene->singleton<ui::Browse>().toggleResumeFavorite(0);
        scene->settle();
        cpuMs = cpuSeconds() * 1e3 - before;
        state.SetIterationTime(cpuMs / 1000.0);
    }
    const ViewerIdentity identity = *deck.activeIdentity();
    const std::unique_ptr<CommandVault> reopened = scene->storage().loadVault();
    CommandDeck restarted(*reopened);
    restarted.selectIdentity(identity);
    int back = 0;
    for (const ResumeMarker& marker : restarted.resumeMarkers())
        back +=
            std::any_of(films.begin(), films.end(), [&](const MediaNode& n) { return n.catalogKey() == marker.id; });
    state.counters["cpu_ms"] = cpuMs;
    state.counters["settings_kb"] = double(QFileInfo(scene->storage().settingsFile()).size()) / 1024.0;
    state.counters["markers_back"] = back;
}
BENCHMARK(BM_FavouriteBesideLongMarkers)->ArgName("title")->Arg(0)->Arg(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Apply(eachAlone<5>);

} // namespace

int main(int argc, char** argv)
{
    mapLargeBlocksApart(); // as the application starts
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    if (qEnvironmentVariableIsEmpty("QT_QPA_UPDATE_IDLE_TIME"))
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    qputenv("SENDRA_BUNDLE_DIR", SENDRA_BUNDLES_DIR "/brimvale");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    if (argc == 4 && std::strcmp(argv[1], "--first-keys") == 0)
        return measureFirstKeys(std::atoi(argv[2]), QString::fromLatin1(argv[3]));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext("cores", std::to_string(std::thread::hardware_concurrency()));
    benchmark::AddCustomContext("platform", qgetenv("QT_QPA_PLATFORM").toStdString() + " / " +
                                                qgetenv("QT_QUICK_BACKEND").toStdString());
    {
        QElapsedTimer clock;
        clock.start();
        Scene built;
        scene = &built;
        benchmark::AddCustomContext("scene_ms", std::to_string(clock.elapsed()));
        benchmark::RunSpecifiedBenchmarks();
        scene = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
