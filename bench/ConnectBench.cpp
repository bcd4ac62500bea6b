// Connecting over loopback until the catalogue is ready, on the panel road (the panel's whole catalogue), the
// prepared road (the platform's prepared catalogue of the panel's server) and the playlist road (an M3U playlist), at 10k, 100k, 200k and 600k entries
// (three tenths live channels, half films, the rest series): the wall time and the peak resident memory per entry.
// Then the memory a long session keeps: resident memory after the first ready and after three catalogue refreshes
// or three disconnect/connect cycles, as a ratio.
//
// Every measurement runs in a process of its own (this program started again with --measure), so a repetition's
// peak is its own and no repetition inherits the heap of the one before. The fake platform and panel run in
// another child, so their bodies and buffers are not counted.
#include "ManyGroups.h"
#include "ProcessUsage.h"
#include "NetKit/Workers.h"
#include "State/CommandDeck.h"
#include "State/FirstConnect.h"
#include "State/ReleaseOnWorker.h"
#include "Storage/CommandVault.h"
#include "Storage/MemorySecretStore.h"
#include "catalog-gen/CatalogGenerator.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakePlaylistHost.h"
#include "fakes/FakeXtreamPanel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>
#include <qcoro/qcorotask.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <malloc.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace sendra;

namespace {

// The playlist roads after the first carry 15,000 groups, drawn anew for every entry or listed group by group.
enum Road { panelRoad = 0, preparedRoad = 1, playlistRoad = 2, scatteredGroupsRoad = 3, sortedGroupsRoad = 4 };
constexpr int manyGroups = 15'000;

bool isPlaylistRoad(Road road)
{
    return road == playlistRoad || road == scatteredGroupsRoad || road == sortedGroupsRoad;
}
constexpr int panelSlot = 2;
const char* const catalogSlug = "calvenor"; // the catalogue brand FakePlatform::providerAnswer names

long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Bytes the program's heap holds in live blocks, every arena counted.
long liveHeapKilobytes()
{
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / 1024);
}

struct KindShare {
    testkit::PanelKind panelKind;
    const char* stored;
    const char* streams;
    const char* categories;
    int count;
};

std::vector<KindShare> shares(int entries)
{
    return {{testkit::PanelKind::Live, "tv", "get_live_streams", "get_live_categories", entries * 3 / 10},
            {testkit::PanelKind::Vod, "movies", "get_vod_streams", "get_vod_categories", entries / 2},
            {testkit::PanelKind::Series, "series", "get_series", "get_series_categories",
             entries - entries * 3 / 10 - entries / 2}};
}

// The platform's prepared section of one kind, with the panel's own titles and categories.
std::string preparedSection(const testkit::CatalogGenerator& generator, const KindShare& share)
{
    QJsonArray items;
    for (int i = 0; i < share.count; ++i) {
        const int category = i % generator.shape().categories;
        const QString id = QString::number(i + 1);
        items.append(QJsonObject{{"id", id},
                                 {"name", generator.title(share.panelKind, i)},
                                 {"kind", share.stored},
                                 {"categoryId", QString::number(category + 1)},
                                 {"category", generator.categoryName(share.panelKind, category)},
                                 {"image", "http://img.example.test/" + QString(share.stored) + "/" + id + ".jpg"},
                                 {"extension", share.panelKind == testkit::PanelKind::Live ? "ts" : "mp4"}});
    }
    return QJsonDocument(QJsonObject{{"version", 1}, {"items", items}}).toJson(QJsonDocument::Compact).toStdString();
}

// The child: serves the platform and a panel of `entries`, writes the two addresses to `out`, and serves until its
// parent closes `in`. On the prepared road the platform names a prepared catalogue for the panel's server (whose
// own lists are then left empty, so a fall-back to them shows as a failure).
[[noreturn]] void serve(int entries, Road road, int out, int in)
{
    const testkit::CatalogGenerator generator(testkit::CatalogShape{.seed = 7, .categories = 120});
    fakes::FakePlatform platform;
    fakes::FakeXtreamPanel panel("demo", "s3cret");
    fakes::FakePlaylistHost host;
    std::string origin = panel.baseUrl().toString().toStdString();
    for (const KindShare& share : shares(entries)) {
        panel.answer(share.categories, fakes::Reply::json(generator.categories(share.panelKind).toStdString()));
        panel.answer(share.streams, fakes::Reply::json(road == panelRoad
                                                           ? generator.streams(share.panelKind, share.count).toStdString()
                                                           : std::string("[]")));
    }
    if (road == panelRoad) {
        platform.setOriginAnswer(origin, fakes::FakePlatform::freeAnswer());
    } else if (isPlaylistRoad(road)) {
        QByteArray playlist = generator.playlist(entries);
        if (road != playlistRoad)
            playlist = bench::regroupedPlaylist(playlist, manyGroups, road == sortedGroupsRoad);
        origin = host.publish("/all.m3u", playlist.toStdString()).toString().toStdString();
        platform.setOriginAnswer(host.baseUrl().toString().toStdString(), fakes::FakePlatform::freeAnswer());
    } else {
        platform.setOriginAnswer(origin, fakes::FakePlatform::providerAnswer(panel.baseUrl().toString(), panelSlot));
        const std::vector<KindShare> kinds = shares(entries);
        const std::string base = std::string("/api/catalog/") + catalogSlug + "/";
        QJsonObject counts;
        for (const KindShare& share : kinds)
            counts.insert(share.stored, share.count);
        const QJsonObject manifest{{"client", catalogSlug}, {"serverSlot", panelSlot},
                                   {"origin", QString::fromStdString(origin)}, {"version", 1},
                                   {"generatedAt", "2026-01-01T00:00:00Z"}, {"counts", counts}};
        platform.route("GET", base + "manifest",
                       fakes::Reply::json(QJsonDocument(manifest).toJson(QJsonDocument::Compact).toStdString()));
        for (const KindShare& share : kinds) {
            auto body = std::make_shared<const std::string>(preparedSection(generator, share));
            platform.route("GET", base + share.stored, [body](const fakes::RecordedRequest&) {
                return fakes::Reply::json(*body);
            });
        }
        QJsonArray row;
        for (int i = 0; i < 12; ++i)
            row.append(QJsonObject{{"id", QString::number(i + 1)}, {"name", generator.title(testkit::PanelKind::Vod, i)},
                                   {"kind", "movies"}});
        const QJsonObject home{{"version", 1},
                               {"rows", QJsonArray{QJsonObject{{"id", "estrenos"}, {"title", "Estrenos"},
                                                               {"items", row}}}}};
        platform.route("GET", base + "home",
                       fakes::Reply::json(QJsonDocument(home).toJson(QJsonDocument::Compact).toStdString()));
    }
    const std::string addresses = platform.baseUrl().toString().toStdString() + "\n" + origin + "\n";
    if (write(out, addresses.data(), addresses.size()) != ssize_t(addresses.size()))
        _exit(1);
    close(out);
    char byte;
    while (read(in, &byte, 1) > 0) {
    }
    _exit(0);
}

// The fake services of one road and size, kept while benchmarks of that road and size run.
class Services
{
public:
    static Services& of(int entries, Road road)
    {
        static std::map<std::pair<int, Road>, std::unique_ptr<Services>> running;
        auto found = running.find({entries, road});
        if (found == running.end()) {
            running.clear(); // one child at a time: its catalogue bodies take memory too
            found = running.emplace(std::pair(entries, road), std::make_unique<Services>(entries, road)).first;
        }
        return *found->second;
    }

    Services(int entries, Road road)
    {
        int toParent[2];
        int toChild[2];
        if (pipe(toParent) != 0 || pipe(toChild) != 0)
            return;
        m_child = fork();
        if (m_child == 0) {
            close(toParent[0]);
            close(toChild[1]);
            serve(entries, road, toParent[1], toChild[0]);
        }
        close(toParent[1]);
        close(toChild[0]);
        m_hold = toChild[1];
        std::string answer;
        char buffer[512];
        for (ssize_t n; (n = read(toParent[0], buffer, sizeof buffer)) > 0;)
            answer.append(buffer, std::size_t(n));
        close(toParent[0]);
        m_addresses = QString::fromStdString(answer).split(u'\n', Qt::SkipEmptyParts);
    }

    ~Services()
    {
        close(m_hold);
        waitpid(m_child, nullptr, 0);
    }

    bool ready() const { return m_addresses.size() == 2; }
    const QString& platform() const { return m_addresses[0]; }
    const QString& panel() const { return m_addresses[1]; }

private:
    pid_t m_child = -1;
    int m_hold = -1;
    QStringList m_addresses;
};

// ---- The measured process ----

// Runs the event loop until `done` holds; it sleeps while nothing happens.
void waitFor(CommandDeck& deck, void (CommandDeck::*changed)(), const std::function<bool()>& done)
{
    QEventLoop loop;
    const auto connection = QObject::connect(&deck, changed, &loop, [&] {
        if (done())
            loop.quit();
    });
    if (!done())
        loop.exec();
    QObject::disconnect(connection);
}

// Lets the work the deck handed to the thread pool (an old catalogue's release among it) finish. Meanwhile the
// main thread asks the heap for a block every half millisecond: the longest such request is how long the
// background release could hold up the window. Returns it, in milliseconds.
double settle()
{
    double longest = 0;
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 100) {
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        // Above the per-thread cache's sizes, so the request takes the arena's lock.
        void* block = std::malloc(4096);
        benchmark::DoNotOptimize(block);
        std::free(block);
        longest = std::max(longest, double(clock.nsecsElapsed()) / 1e6);
        QThread::usleep(500);
        if (netkit::backgroundPool().busy())
            idle.restart();
    }
    return longest;
}

// One measurement in this process; prints "name value" lines for the parent.
int measure(const QString& what, const QString& platformAddress, const QString& panelAddress, int entries, Road road)
{
    // As the application does once its window is up, while its user types the address.
    prepareForFirstConnect();
    netkit::backgroundPool().waitUntilIdle();
    QTemporaryDir folder;
    QNetworkAccessManager manager;
    CommandVault vault(QStringLiteral("bench.connect"), folder.filePath(QStringLiteral("sendra.ini")),
                       std::make_shared<MemorySecretStore>());
    QCoro::waitFor(vault.load());
    const netkit::HttpSession session(&manager);
    const QUrl platform(platformAddress);
    CommandDeck::Clients clients{std::make_shared<const PanelAccess>(session, PlatformEndpoints{platform, platform}),
                                 std::make_shared<const XtreamTransport>(session),
                                 std::make_shared<const PlaylistIngestor>(session)};
    CommandDeck deck(vault, std::move(clients));
    SourceDraft draft;
    if (isPlaylistRoad(road)) {
        draft.method = SourceMethod::playlist;
        draft.playlist = panelAddress;
    }
    draft.server = panelAddress;
    draft.user = QStringLiteral("demo");
    draft.password = QStringLiteral("s3cret");

    auto connect = [&] {
        deck.setDraft(draft);
        deck.connect();
        waitFor(deck, &CommandDeck::isConnectingChanged, [&] { return !deck.isConnecting(); });
        // Without a viewer identity a connected deck asks for one; with one it shows the catalogue.
        return (deck.phase() == CommandDeck::Phase::profiles || deck.phase() == CommandDeck::Phase::ready) &&
               deck.totalNodeCount() > entries * 9 / 10;
    };

    const long baseline = residentKilobytes();
    const long faultsBefore = bench::processFaults();
    const bench::CpuTime cpuBefore = bench::processCpuTime();
    QElapsedTimer timer;
    timer.start();
    if (!connect()) {
        std::puts("error the connection failed");
        return 1;
    }
    std::printf("ready_ms %.3f\n", double(timer.nsecsElapsed()) / 1e6);
    std::printf("faults %ld\n", bench::processFaults() - faultsBefore);
    const bench::CpuTime cpu = bench::processCpuTime();
    std::printf("user_ms %.3f\nsys_ms %.3f\n", cpu.userMs - cpuBefore.userMs, cpu.systemMs - cpuBefore.systemMs);
    std::printf("peak_kb %ld\nbaseline_kb %ld\n", peakKilobytes(), baseline);
    if (what == u"connect")
        return 0;

    double longestWait = settle();
    std::printf("first_ready_kb %ld\nfirst_heap_kb %ld\n", residentKilobytes(), liveHeapKilobytes());
    for (int cycle = 1; cycle <= 3; ++cycle) {
        if (what == u"refresh") {
            deck.refreshCatalog();
            waitFor(deck, &CommandDeck::isRefreshingCatalogChanged, [&] { return !deck.isRefreshingCatalog(); });
            if (!deck.catalogRefreshNotice() || deck.totalNodeCount() <= entries * 9 / 10 ||
                deck.catalogRefreshMessage()->startsWith(QStringLiteral("No "))) {
                std::puts("error the refresh failed");
                return 1;
            }
        } else {
            deck.disconnect();
            if (!connect()) {
                std::puts("error the connection failed");
                return 1;
            }
        }
        longestWait = std::max(longestWait, settle());
        std::printf("cycle%d_kb %ld\n", cycle, residentKilobytes());
    }
    std::printf("last_heap_kb %ld\nheap_wait_ms %.3f\n", liveHeapKilobytes(), longestWait);
    return 0;
}

// ---- The benchmarks ----

// Runs one measurement in a fresh process; its "name value" lines, or an error.
std::map<std::string, double> measureInChild(benchmark::State& state, const char* what, int entries, Road road)
{
    Services& services = Services::of(entries, road);
    if (!services.ready()) {
        state.SkipWithError("the services did not start");
        return {};
    }
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--measure"), QString::fromLatin1(what), services.platform(), services.panel(),
                 QString::number(entries), QString::number(int(road))});
    if (!child.waitForFinished(600'000) || child.exitCode() != 0) {
        const std::string reason = "the measurement failed: " + child.readAllStandardOutput().trimmed().toStdString();
        state.SkipWithError(reason.c_str());
        return {};
    }
    std::map<std::string, double> values;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            values[parts[0].toStdString()] = parts[1].toDouble();
    }
    return values;
}

void ConnectToReady(benchmark::State& state)
{
    const int entries = int(state.range(0));
    const auto road = Road(state.range(1));
    for (auto _ : state) {
        std::map<std::string, double> values = measureInChild(state, "connect", entries, road);
        if (values.empty())
            break;
        state.SetIterationTime(values["ready_ms"] / 1000.0);
        state.counters["ready_ms"] = values["ready_ms"];
        state.counters["peak_B/entry"] = (values["peak_kb"] - values["baseline_kb"]) * 1024.0 / entries;
        state.counters["faults"] = values["faults"];
        state.counters["user_ms"] = values["user_ms"];
        state.counters["sys_ms"] = values["sys_ms"];
    }
    state.SetItemsProcessed(state.iterations() * entries);
}

// Resident memory after the first ready and after three refreshes (prepared road) or three disconnect/connect
// cycles; `ratio` is the last over the first. The live heap shows how much of it is in use at all.
void MemoryAfterCycles(benchmark::State& state, const char* what)
{
    const int entries = int(state.range(0));
    const auto road = Road(state.range(1));
    for (auto _ : state) {
        std::map<std::string, double> values = measureInChild(state, what, entries, road);
        if (values.empty())
            break;
        state.SetIterationTime(values["ready_ms"] / 1000.0);
        state.counters["first_ready_MB"] = values["first_ready_kb"] / 1024.0;
        for (int cycle = 1; cycle <= 3; ++cycle)
            state.counters["after" + std::to_string(cycle) + "_MB"] = values["cycle" + std::to_string(cycle) + "_kb"] / 1024.0;
        state.counters["ratio"] = values["cycle3_kb"] / values["first_ready_kb"];
        state.counters["live_heap_MB"] = values["last_heap_kb"] / 1024.0;
        state.counters["main_heap_wait_ms"] = values["heap_wait_ms"];
    }
}

void sizes(benchmark::internal::Benchmark* b, std::initializer_list<Road> roads, std::initializer_list<int> counts)
{
    b->ArgNames({"entries", "road"});
    for (Road road : roads)
        for (int count : counts)
            b->Args({count, road});
    b->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(ConnectToReady)->Apply([](benchmark::internal::Benchmark* b) {
    sizes(b, {panelRoad, preparedRoad, playlistRoad}, {10'000, 100'000, 200'000, 600'000});
    sizes(b, {scatteredGroupsRoad, sortedGroupsRoad}, {600'000});
});
BENCHMARK_CAPTURE(MemoryAfterCycles, refresh, "refresh")->Apply([](benchmark::internal::Benchmark* b) {
    sizes(b, {preparedRoad}, {200'000, 600'000});
});
BENCHMARK_CAPTURE(MemoryAfterCycles, reconnect, "reconnect")->Apply([](benchmark::internal::Benchmark* b) {
    sizes(b, {panelRoad, preparedRoad}, {200'000, 600'000});
});

int main(int argc, char** argv)
{
    mapLargeBlocksApart(); // as the application starts
    QCoreApplication application(argc, argv);
    if (argc == 7 && std::strcmp(argv[1], "--measure") == 0)
        return measure(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                       QString::fromLocal8Bit(argv[4]), std::atoi(argv[5]), Road(std::atoi(argv[6])));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext("cores", std::to_string(std::thread::hardware_concurrency()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
