// Reading a panel's film list ("get_vod_streams") and an M3U playlist at 10k, 100k, 200k and 600k entries, with a
// plain QJsonDocument reader of the same film list as the baseline, and the core library's playlist parser beside
// the application's reader (with the plain reading of its rules as its baseline). Parsing is timed on one thread, as each
// list is parsed on one worker; the memory runs report the heap that parsing takes on top of the body.
#include "AllocationMeter.h"

#include "Networking/PlaylistIngestor.h"
#include "Networking/XtreamListReader.h"
#include "OrrinthCore/M3UParser.h"
#include "catalog-gen/CatalogGenerator.h"
#include "catalog-gen/CoreM3UReference.h"
#include "catalog-gen/QJsonListReader.h"

#include <QProcess>
#include <QTemporaryFile>

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <algorithm>

#include <cstdlib>
#include <sys/resource.h>
#include <functional>
#include <map>

using namespace sendra;

namespace {

const testkit::CatalogGenerator& generator()
{
    static const testkit::CatalogGenerator instance(testkit::CatalogShape{.seed = 2024, .categories = 120});
    return instance;
}

const QByteArray& filmList(int entries)
{
    static std::map<int, QByteArray> bodies;
    auto found = bodies.find(entries);
    if (found == bodies.end())
        found = bodies.emplace(entries, generator().streams(testkit::PanelKind::Vod, entries)).first;
    return found->second;
}

const xtream::CategoryMap& filmCategories()
{
    static const xtream::CategoryMap map = xtream::readCategoryMap(generator().categories(testkit::PanelKind::Vod));
    return map;
}

const QByteArray& playlist(int entries)
{
    static std::map<int, QByteArray> bodies;
    auto found = bodies.find(entries);
    if (found == bodies.end())
        found = bodies.emplace(entries, generator().playlist(entries)).first;
    return found->second;
}

const QUrl& panelAddress()
{
    static const QUrl address(QStringLiteral("http://panel.example.test:8080/player_api.php"));
    return address;
}

// What the application keeps: the compact entry table.
NodeTable readFilmsFast(const QByteArray& body)
{
    return xtream::readStreamTable(body, SignalKind::cinema, filmCategories(), panelAddress());
}

QList<MediaNode> readFilmsWithQJson(const QByteArray& body)
{
    return testkit::readStreamListWithQJson(body, SignalKind::cinema, filmCategories(), panelAddress());
}

// What the ingestor's worker does with a downloaded body.
NodeTable readPlaylist(const QByteArray& body)
{
    if (!simdjson::validate_utf8(body.constData(), std::size_t(body.size())))
        return {};
    return PlaylistIngestor::parseTable(body);
}


// Page faults of the calling thread so far.
long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

// The playlist as the core parser's callers hold it: text, decoded once.
const QString& playlistText(int entries)
{
    static std::map<int, QString> texts;
    auto found = texts.find(entries);
    if (found == texts.end())
        found = texts.emplace(entries, QString::fromUtf8(playlist(entries))).first;
    return found->second;
}

QList<orrinth::CatalogItem> readPlaylistWithCore(const QString& text)
{
    return orrinth::M3UParser().parse(text);
}

QList<orrinth::CatalogItem> readPlaylistWithCorePlainly(const QString& text)
{
    return testkit::parseM3UPlainly(text);
}

template<class Body, class Read>
void timeReading(benchmark::State& state, const Body& body, const Read& read)
{
    const auto entries = state.range(0);
    decltype(read(body)) kept;
    const long faultsBefore = minorFaults();
    for (auto _ : state) {
        kept = read(body);
        benchmark::DoNotOptimize(kept.size());
        // Dropping 200k entries is the caller's business, not the reader's: a medium-sized request makes glibc
        // merge the freed chunks now rather than inside the next timed round. glibc hands most of the freed heap
        // back to the system, so each round pays the page faults of a first load for its entries (counted below:
        // on a virtual machine a fault can cost microseconds).
        state.PauseTiming();
        if (kept.size() != entries)
            state.SkipWithError("the reader lost entries");
        kept = {};
        std::free(std::malloc(64 * 1024));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * entries);
    const double bodyBytes = double(body.size()) * double(sizeof(body.front()));
    state.SetBytesProcessed(state.iterations() * std::int64_t(bodyBytes));
    state.counters["bytes_per_entry"] = bodyBytes / double(entries);
    state.counters["faults_per_entry"] = double(minorFaults() - faultsBefore) / double(state.iterations() * entries);
}

// Heap taken while reading, on top of the body that is already in memory: the peak and what the entries keep.
template<class Body, class Read>
void measureMemory(benchmark::State& state, const Body& body, const Read& read)
{
    constexpr double mb = 1024.0 * 1024.0;
    std::int64_t peak = 0;
    std::int64_t entries = 0;
    for (auto _ : state) {
        decltype(read(body)) kept;
        {
            const bench::AllocationMeter meter;
            kept = read(body);
            peak = meter.peakBytes();
            entries = meter.liveBytes();
        }
        benchmark::DoNotOptimize(kept.size());
    }
    const double bodyBytes = double(body.size()) * double(sizeof(body.front()));
    state.counters["body_MB"] = bodyBytes / mb;
    state.counters["entries_MB"] = double(entries) / mb;
    state.counters["peak_extra_MB"] = double(peak) / mb;
    state.counters["peak_extra_per_entry"] = double(peak) / double(state.range(0));
    // Everything held at the peak (body included) against twice the body plus the entries.
    state.counters["peak_vs_2body_plus_entries"] = (bodyBytes + double(peak)) / (2 * bodyBytes + double(entries));
}

void FilmList_Simdjson(benchmark::State& state)
{
    timeReading(state, filmList(int(state.range(0))), readFilmsFast);
}

// The JSON parsing alone, with nothing built: what the entries themselves cost is the difference.
void FilmList_Simdjson_ParseOnly(benchmark::State& state)
{
    const QByteArray& body = filmList(int(state.range(0)));
    for (auto _ : state) {
        qsizetype objects = 0;
        xtream::walkObjectList(body, {.visit = [&objects](const simdjson::dom::object&) { ++objects; },
                                      .restart = [&objects] { objects = 0; }});
        benchmark::DoNotOptimize(objects);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Node's JSON.parse of the same bytes, for comparison: parsed in a fresh Node process, every parse timed inside Node
// (the first one and the median of the rest are reported; the time shown is the median). Skipped without `node`.
void FilmList_NodeJsonParse(benchmark::State& state)
{
    const QByteArray& body = filmList(int(state.range(0)));
    QTemporaryFile file;
    if (!file.open() || file.write(body) != body.size() || !file.flush()) {
        state.SkipWithError("cannot write the body for node");
        return;
    }
    constexpr int rounds = 7;
    const QString script = QStringLiteral(
        "const b=require('fs').readFileSync(process.argv[1],'utf8');"
        "for(let i=0;i<+process.argv[2];i++){const t=process.hrtime.bigint();const v=JSON.parse(b);"
        "console.log(Number(process.hrtime.bigint()-t)/1e6, v.length);}");
    QProcess node;
    node.start(QStringLiteral("node"), {QStringLiteral("-e"), script, file.fileName(), QString::number(rounds)});
    if (!node.waitForFinished(300'000) || node.exitCode() != 0) {
        state.SkipWithError("node is not available");
        return;
    }
    std::vector<double> milliseconds;
    for (const QByteArray& line : node.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            milliseconds.push_back(line.split(' ').value(0).toDouble());
    if (milliseconds.size() != rounds) {
        state.SkipWithError("node gave no times");
        return;
    }
    const double first = milliseconds.front();
    std::vector<double> rest(milliseconds.begin() + 1, milliseconds.end());
    std::nth_element(rest.begin(), rest.begin() + std::ptrdiff_t(rest.size() / 2), rest.end());
    const double median = rest[rest.size() / 2];
    for (auto _ : state)
        state.SetIterationTime(median / 1000.0);
    state.counters["node_first_ms"] = first;
    state.counters["node_median_ms"] = median;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void FilmList_QJsonDocument(benchmark::State& state)
{
    timeReading(state, filmList(int(state.range(0))), readFilmsWithQJson);
}

void Playlist(benchmark::State& state)
{
    timeReading(state, playlist(int(state.range(0))), readPlaylist);
}

void Playlist_Core(benchmark::State& state)
{
    timeReading(state, playlistText(int(state.range(0))), readPlaylistWithCore);
}

void Playlist_CorePlainReading(benchmark::State& state)
{
    timeReading(state, playlistText(int(state.range(0))), readPlaylistWithCorePlainly);
}

void Playlist_Core_Memory(benchmark::State& state)
{
    measureMemory(state, playlistText(int(state.range(0))), readPlaylistWithCore);
}

void FilmList_Simdjson_Memory(benchmark::State& state)
{
    measureMemory(state, filmList(int(state.range(0))), readFilmsFast);
}

void FilmList_QJsonDocument_Memory(benchmark::State& state)
{
    measureMemory(state, filmList(int(state.range(0))), readFilmsWithQJson);
}

void Playlist_Memory(benchmark::State& state)
{
    measureMemory(state, playlist(int(state.range(0))), readPlaylist);
}

void sizes(benchmark::internal::Benchmark* bench)
{
    bench->Arg(10'000)->Arg(100'000)->Arg(200'000)->Arg(600'000)->Unit(benchmark::kMillisecond);
}

void memorySizes(benchmark::internal::Benchmark* bench)
{
    sizes(bench);
    bench->Iterations(1);
}

} // namespace

BENCHMARK(FilmList_Simdjson)->Apply(sizes);
BENCHMARK(FilmList_Simdjson_ParseOnly)->Apply(sizes);
BENCHMARK(FilmList_NodeJsonParse)->Apply(sizes)->UseManualTime()->Iterations(1);
BENCHMARK(FilmList_QJsonDocument)->Apply(sizes);
BENCHMARK(Playlist)->Apply(sizes);
BENCHMARK(Playlist_Core)->Apply(sizes);
BENCHMARK(Playlist_CorePlainReading)->Apply(sizes);
BENCHMARK(FilmList_Simdjson_Memory)->Apply(memorySizes);
BENCHMARK(FilmList_QJsonDocument_Memory)->Apply(memorySizes);
BENCHMARK(Playlist_Memory)->Apply(memorySizes);
BENCHMARK(Playlist_Core_Memory)->Apply(memorySizes);

BENCHMARK_MAIN();
