// Connecting over loopback, from connect() until the catalogue is ready, at 10k, 100k, 200k and 600k entries (three
// tenths live channels, half films, the rest series), on each road: an Xtream Codes panel (road 0), an M3U playlist
// (road 1) and a panel whose catalogue the platform has prepared (road 2): the wall time and the process's peak
// resident memory per entry. The fake platform and panel run in a child process, so their bodies and buffers
// are not counted; sizes run in ascending order, as the peak of a process only grows. Run each size on its own
// (--benchmark_filter=.../200000) for a peak untouched by the sizes before it.
#include "State/CommandDeck.h"
#include "Storage/CommandVault.h"
#include "Storage/MemorySecretStore.h"
#include "catalog-gen/CatalogGenerator.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakePlaylistHost.h"
#include "fakes/FakeXtreamPanel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <qcoro/qcorotask.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace sendra;

namespace {

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

enum class Road { panel, playlist, prepared };

// A prepared section of `count` entries of one kind, as the platform serves it.
std::string preparedSection(const testkit::CatalogGenerator& generator, testkit::PanelKind kind, const char* name, int count)
{
    std::string body = R"({"version":1,"items":[)";
    for (int i = 0; i < count; ++i) {
        const int category = i % 120;
        body += (i ? ",{" : "{") + std::string(R"("id":")") + name + std::to_string(i) + R"(","name":)"
                + QJsonDocument(QJsonArray{generator.title(kind, i)}).toJson(QJsonDocument::Compact).mid(1).chopped(1).toStdString()
                + R"(,"kind":")" + name + R"(","categoryId":")" + std::to_string(category) + R"(","category":")"
                + generator.categoryName(kind, category).toStdString() + R"(","image":"https://img.example.test/p/)"
                + std::to_string(i) + R"(.jpg","extension":"mp4"})";
    }
    return body + "]}";
}

// The child: serves the platform, a panel of `entries` (and, on the other roads, the playlist or the prepared
// catalogue of the same entries), writes the addresses to `out`, and serves until its parent closes `in`.
[[noreturn]] void serve(int entries, Road road, int out, int in)
{
    const testkit::CatalogGenerator generator(testkit::CatalogShape{.seed = 7, .categories = 120});
    fakes::FakePlatform platform;
    fakes::FakeXtreamPanel panel("demo", "s3cret");
    const struct { testkit::PanelKind kind; const char* streams; const char* categories; int count; } kinds[] = {
        {testkit::PanelKind::Live, "get_live_streams", "get_live_categories", entries * 3 / 10},
        {testkit::PanelKind::Vod, "get_vod_streams", "get_vod_categories", entries / 2},
        {testkit::PanelKind::Series, "get_series", "get_series_categories", entries - entries * 3 / 10 - entries / 2}};
    for (const auto& kind : kinds) {
        panel.answer(kind.streams, fakes::Reply::json(generator.streams(kind.kind, kind.count).toStdString()));
        panel.answer(kind.categories, fakes::Reply::json(generator.categories(kind.kind).toStdString()));
    }
    const std::string origin = panel.baseUrl().toString().toStdString();
    platform.setOriginAnswer(origin, fakes::FakePlatform::freeAnswer());
    fakes::FakePlaylistHost host;
    std::string source = origin;
    if (road == Road::playlist) {
        source = host.publish("/all.m3u", generator.playlist(entries).toStdString()).toString().toStdString();
        platform.setOriginAnswer(host.baseUrl().toString().toStdString(), fakes::FakePlatform::freeAnswer());
    } else if (road == Road::prepared) {
        platform.setOriginAnswer(origin, fakes::FakePlatform::providerAnswer(QString::fromStdString(origin), 1));
        const std::string manifest = R"({"client":"calvenor","serverSlot":1,"origin":")" + origin
                                     + R"(","version":1,"generatedAt":"g","counts":{"tv":)" + std::to_string(kinds[0].count)
                                     + R"(,"movies":)" + std::to_string(kinds[1].count) + R"(,"series":)"
                                     + std::to_string(kinds[2].count) + "}}";
        const std::string prefix = "/api/catalog/calvenor/";
        platform.route("GET", prefix + "manifest", fakes::Reply::json(manifest));
        platform.route("GET", prefix + "home", fakes::Reply::json(R"({"version":1,"rows":[{"id":"r","items":[{"id":"movies0","name":"A"}]}]})"));
        platform.route("GET", prefix + "tv", fakes::Reply::json(preparedSection(generator, testkit::PanelKind::Live, "tv", kinds[0].count)));
        platform.route("GET", prefix + "movies", fakes::Reply::json(preparedSection(generator, testkit::PanelKind::Vod, "movies", kinds[1].count)));
        platform.route("GET", prefix + "series", fakes::Reply::json(preparedSection(generator, testkit::PanelKind::Series, "series", kinds[2].count)));
    }
    const std::string ports = platform.baseUrl().toString().toStdString() + "\n" + source + "\n";
    if (write(out, ports.data(), ports.size()) != ssize_t(ports.size()))
        _exit(1);
    close(out);
    char byte;
    while (read(in, &byte, 1) > 0) {
    }
    _exit(0);
}

void ConnectToReady(benchmark::State& state)
{
    const int entries = int(state.range(0));
    const auto road = Road(state.range(1));
    int toParent[2];
    int toChild[2];
    if (pipe(toParent) != 0 || pipe(toChild) != 0) {
        state.SkipWithError("no pipe");
        return;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(toParent[0]);
        close(toChild[1]);
        serve(entries, road, toParent[1], toChild[0]);
    }
    close(toParent[1]);
    close(toChild[0]);
    std::string answer;
    char buffer[512];
    for (ssize_t n; (n = read(toParent[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, std::size_t(n));
    close(toParent[0]);
    const QStringList addresses = QString::fromStdString(answer).split(u'\n', Qt::SkipEmptyParts);
    if (addresses.size() != 2) {
        state.SkipWithError("the services did not start");
        close(toChild[1]);
        waitpid(child, nullptr, 0);
        return;
    }

    for (auto _ : state) {
        QTemporaryDir folder;
        QNetworkAccessManager manager;
        CommandVault vault(QStringLiteral("bench.connect"), folder.filePath(QStringLiteral("sendra.ini")),
                           std::make_shared<MemorySecretStore>());
        QCoro::waitFor(vault.load());
        const netkit::HttpSession session(&manager);
        const QUrl platform(addresses[0]);
        CommandDeck::Clients clients{
            std::make_shared<const PanelAccess>(session, PlatformEndpoints{platform, platform}),
            std::make_shared<const XtreamTransport>(session), std::make_shared<const PlaylistIngestor>(session)};
        CommandDeck deck(vault, std::move(clients));
        SourceDraft draft;
        if (road == Road::playlist) {
            draft.method = SourceMethod::playlist;
            draft.playlist = addresses[1];
        }
        draft.server = addresses[1];
        draft.user = QStringLiteral("demo");
        draft.password = QStringLiteral("s3cret");
        deck.setDraft(draft);

        const long residentBefore = residentKilobytes();
        QElapsedTimer timer;
        timer.start();
        deck.connect();
        while (deck.isConnecting())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        // Without a viewer identity a connected deck asks for one; with one it shows the catalogue.
        if (deck.phase() != CommandDeck::Phase::profiles && deck.phase() != CommandDeck::Phase::ready) {
            state.SkipWithError("the connection failed");
            break;
        }
        state.counters["peak_rss_per_entry"] = double(peakKilobytes() - residentBefore) * 1024.0 / double(entries);
        state.counters["ready_ms"] = seconds * 1000.0;
    }
    close(toChild[1]);
    waitpid(child, nullptr, 0);
    state.SetItemsProcessed(state.iterations() * entries);
}

} // namespace

BENCHMARK(ConnectToReady)
    ->ArgsProduct({{10'000, 100'000, 200'000, 600'000}, {0, 1, 2}})->ArgNames({"entries", "road"})
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
