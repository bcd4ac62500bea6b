// The catalogue engine at 10k, 100k, 200k and 600k entries over about 5,000 groups: applying a catalogue, search
// keystrokes, featured groups, home feed, prepared-feed rewrite, spotlight, favourites and resume rails; and folding
// long accented texts, long runs of marks and long Thai group names.
#include "SyntheticCatalog.h"

#include "Networking/Playlist/PlaylistIngestor.h"
#include "Networking/XtreamListReader.h"
#include "State/CatalogSearch.h"
#include "State/CatalogSnapshot.h"
#include "State/CatalogViews.h"
#include "State/HomeFeed.h"
#include "State/SpotlightDraw.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <malloc.h>

using namespace sendra;

namespace {

constexpr int groupCount = 5000;

struct Fixture {
    QList<MediaNode> nodes;
    std::shared_ptr<const CatalogSnapshot> snapshot;
};

const Fixture& fixture(int entries)
{
    static std::map<int, Fixture> fixtures;
    auto it = fixtures.find(entries);
    if (it == fixtures.end()) {
        Fixture f;
        f.nodes = bench::syntheticCatalog(entries, groupCount, 7);
        f.snapshot = CatalogSnapshot::build(f.nodes, {QStringLiteral("Deportes Road")}, false);
        it = fixtures.emplace(entries, std::move(f)).first;
    }
    return it->second;
}

// Bytes the heap holds for the program, mapped blocks included.
size_t heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(10'000)->Arg(100'000)->Arg(200'000)->Arg(600'000)->Unit(benchmark::kMillisecond);
}

// What the deck does on the main thread with prepared entries: every index under the blocked groups and the
// parental setting, a spotlight draw and the home feed. Also what switching the parental filter costs.
void applyPrepared(const std::shared_ptr<const CatalogEntries>& entries, bool parental, QRandomGenerator& random)
{
    const auto snapshot = CatalogSnapshot::build(entries, {QStringLiteral("Deportes Road")}, parental);
    benchmark::DoNotOptimize(drawSpotlight(*snapshot, 9, {}, random));
    benchmark::DoNotOptimize(materialize(*snapshot, planFeed(*snapshot, NodeView::allEntries(snapshot))));
}

// A whole catalogue application on one thread: folding, collation ranks, every index, spotlight and feed.
void BM_ApplyCatalog(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    QRandomGenerator random(1);
    for (auto _ : state) {
        state.PauseTiming();
        NodeTable table(f.nodes); // as a reader leaves it
        state.ResumeTiming();
        applyPrepared(CatalogEntries::prepare(std::move(table)), false, random);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    const double n = double(state.range(0));
    state.counters["index_B/entry"] = double(f.snapshot->entries().indexBytes() + f.snapshot->indexBytes()) / n;
    state.counters["per_load_B/entry"] = double(f.snapshot->entries().indexBytes()) / n;
    state.counters["per_apply_B/entry"] = double(f.snapshot->indexBytes()) / n;
}
BENCHMARK(BM_ApplyCatalog)->Apply(sizes);

// The share the loading flows run on a worker thread: folding, collation ranks, groups, node-key owners.
void BM_PrepareEntries(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        NodeTable table(f.nodes); // as a reader leaves it
        state.ResumeTiming();
        benchmark::DoNotOptimize(CatalogEntries::prepare(std::move(table)));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PrepareEntries)->Apply(sizes);

// The main thread's share, with the parental setting switching each time.
void BM_ApplyPrepared(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    QRandomGenerator random(1);
    bool parental = true;
    for (auto _ : state) {
        applyPrepared(f.snapshot->sharedEntries(), parental, random);
        parental = !parental;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ApplyPrepared)->Apply(sizes);

// Dropping the last reference to a loaded catalogue and the snapshot built on it: what replacing or unlinking a
// catalogue cost the main thread before the deck handed its old catalogue to a worker. Every round frees a list
// of its own (a copy of the fixture would share its texts and free next to nothing).
void BM_ReleaseCatalog(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto entries = CatalogEntries::prepare(bench::syntheticCatalog(int(state.range(0)), groupCount, 11));
        auto snapshot = CatalogSnapshot::build(entries, {QStringLiteral("Deportes Road")}, false);
        entries.reset();
        state.ResumeTiming();
        snapshot.reset();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReleaseCatalog)->Apply(sizes)->Iterations(5);

// Heap the indexes take beside the entries (and beside what a first build leaves behind), measured around a
// build of an already loaded list.
void BM_IndexHeapBytes(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    double perEntry = 0;
    for (auto _ : state) {
        const size_t before = heapBytes();
        auto snapshot = CatalogSnapshot::build(f.nodes, {}, false);
        perEntry = double(heapBytes() - before) / double(state.range(0));
        benchmark::DoNotOptimize(snapshot);
    }
    state.counters["heap_B/entry"] = perEntry;
}
BENCHMARK(BM_IndexHeapBytes)->Apply(sizes)->Iterations(1);

void searchOnce(benchmark::State& state, const char* query)
{
    const Fixture& f = fixture(int(state.range(0)));
    const QString text = QString::fromUtf8(query);
    qsizetype hits = 0;
    for (auto _ : state) {
        CatalogSearch search(f.snapshot);
        hits = search.results(text).size();
    }
    state.counters["hits"] = double(hits);
}
BENCHMARK_CAPTURE(searchOnce, a, "a")->Apply(sizes);
BENCHMARK_CAPTURE(searchOnce, ca, "ca")->Apply(sizes);
BENCHMARK_CAPTURE(searchOnce, cancion, "cancion")->Apply(sizes);
BENCHMARK_CAPTURE(searchOnce, zzz, "zzz")->Apply(sizes);
BENCHMARK_CAPTURE(searchOnce, blanks, "   ")->Apply(sizes);
BENCHMARK_CAPTURE(searchOnce, CAFE, "CAFÉ")->Apply(sizes);
BENCHMARK_CAPTURE(searchOnce, m, "m")->Apply(sizes);
BENCHMARK_CAPTURE(searchOnce, in, "in")->Apply(sizes);

// The floor a search is measured against: every visible folded title read once for the query, nothing ranked,
// no group name read, no result built.
void titleScanFloor(benchmark::State& state, const char* query)
{
    const Fixture& f = fixture(int(state.range(0)));
    const CatalogEntries& entries = f.snapshot->entries();
    const std::string_view folded(query);
    size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (uint32_t p : f.snapshot->visiblePositions())
            hits += entries.foldedTitle(p).find(folded) != std::string_view::npos;
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = double(hits);
}
BENCHMARK_CAPTURE(titleScanFloor, a, "a")->Apply(sizes);
BENCHMARK_CAPTURE(titleScanFloor, ca, "ca")->Apply(sizes);
BENCHMARK_CAPTURE(titleScanFloor, cancion, "cancion")->Apply(sizes);
BENCHMARK_CAPTURE(titleScanFloor, zzz, "zzz")->Apply(sizes);

// "matrix" typed letter by letter into a fresh search: the time is the whole word; the counters give the
// slowest keystroke and each keystroke's own time (averaged over the iterations).
void BM_TypedSequence(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    const QString word = QStringLiteral("matrix");
    std::vector<double> keystroke(size_t(word.size()), 0);
    double worst = 0;
    for (auto _ : state) {
        CatalogSearch search(f.snapshot);
        double slowest = 0;
        for (qsizetype k = 1; k <= word.size(); ++k) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(search.results(word.left(k)).size());
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            keystroke[size_t(k - 1)] += ms;
            slowest = std::max(slowest, ms);
        }
        worst += slowest;
    }
    const double n = double(state.iterations());
    state.counters["worst_keystroke_ms"] = worst / n;
    for (size_t k = 0; k < keystroke.size(); ++k)
        state.counters["key" + std::to_string(k + 1) + "_ms"] = keystroke[k] / n;
}
BENCHMARK(BM_TypedSequence)->Apply(sizes);

// Every two-letter query (aa..zz) typed: its second letter searched after its first, which the search keeps, and
// the same query searched fresh. Each iteration is one sweep; a query's time is its best over the sweeps, so a
// stall of a busy machine does not pass for a slow query. The counters give the median and the slowest query, typed
// and fresh, and how many typed queries took over 10 ms.
void BM_TypedTwoLetterSweep(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    std::vector<double> typed(26 * 26, HUGE_VAL);
    std::vector<double> fresh(26 * 26, HUGE_VAL);
    auto timed = [](CatalogSearch& search, const QString& query) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(search.results(query).size());
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    auto query = [](size_t i) { return QString(QLatin1Char('a' + i / 26)) + QLatin1Char('a' + i % 26); };
    for (auto _ : state) {
        for (size_t i = 0; i < typed.size(); ++i) {
            CatalogSearch search(f.snapshot);
            search.results(query(i).left(1));
            typed[i] = std::min(typed[i], timed(search, query(i)));
        }
        for (size_t i = 0; i < fresh.size(); ++i) {
            CatalogSearch search(f.snapshot);
            fresh[i] = std::min(fresh[i], timed(search, query(i)));
        }
    }
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + qsizetype(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    state.counters["typed_median_ms"] = median(typed);
    state.counters["typed_worst_ms"] = *std::max_element(typed.begin(), typed.end());
    state.counters["typed_over_10ms"] =
        double(std::count_if(typed.begin(), typed.end(), [](double ms) { return ms > 10; }));
    state.counters["fresh_median_ms"] = median(fresh);
    state.counters["fresh_worst_ms"] = *std::max_element(fresh.begin(), fresh.end());
    if (const char* path = std::getenv("SENDRA_SWEEP_OUT")) {
        // Each query's times, for a closer look.
        if (FILE* out = std::fopen(path, "w")) {
            for (size_t i = 0; i < typed.size(); ++i)
                std::fprintf(out, "%s %.3f %.3f\n", qPrintable(query(i)), typed[i], fresh[i]);
            std::fclose(out);
        }
    }
}
BENCHMARK(BM_TypedTwoLetterSweep)->Arg(600'000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RepeatedQuery(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    CatalogSearch search(f.snapshot);
    search.results(QStringLiteral("ca"));
    for (auto _ : state)
        benchmark::DoNotOptimize(search.results(QStringLiteral("ca")).size());
}
BENCHMARK(BM_RepeatedQuery)->Apply(sizes)->Unit(benchmark::kMicrosecond);

void BM_FeaturedGroups(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(selectFeaturedGroups(*f.snapshot));
}
BENCHMARK(BM_FeaturedGroups)->Apply(sizes);

void BM_HomeFeed(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(materialize(*f.snapshot, planFeed(*f.snapshot, NodeView::allEntries(f.snapshot))));
}
BENCHMARK(BM_HomeFeed)->Apply(sizes);

void BM_PreparedFeedRewrite(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    const CommandFeed prepared = bench::syntheticPreparedFeed(f.nodes, 3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            materialize(*f.snapshot, rewritePreparedFeed(*f.snapshot, prepared, NodeView::allEntries(f.snapshot))));
    }
}
BENCHMARK(BM_PreparedFeedRewrite)->Apply(sizes);

void BM_SpotlightRefresh(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    QRandomGenerator random(5);
    QSet<QString> shown;
    for (auto _ : state) {
        const std::vector<uint32_t> drawn = drawSpotlight(*f.snapshot, 9, shown, random);
        shown.clear();
        for (uint32_t p : drawn)
            shown.insert(f.snapshot->node(p).catalogKey());
    }
}
BENCHMARK(BM_SpotlightRefresh)->Apply(sizes)->Unit(benchmark::kMicrosecond);

void BM_FavoritesRail(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    QSet<QString> favorites;
    for (qsizetype i = 0; i < f.nodes.size(); i += f.nodes.size() / 50)
        favorites.insert(f.nodes[i].catalogKey());
    for (auto _ : state)
        benchmark::DoNotOptimize(centerFavoriteNodes(f.snapshot, favorites).size());
}
BENCHMARK(BM_FavoritesRail)->Apply(sizes);

void BM_ResumeRail(benchmark::State& state)
{
    const Fixture& f = fixture(int(state.range(0)));
    QList<ResumeMarker> markers;
    for (qsizetype i = 0; i < 30; ++i) {
        const MediaNode& node = f.nodes[i * 97 % f.nodes.size()];
        markers.append({node.catalogKey(), node, 0.4, {}, std::nullopt});
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(centerResumeMarkers(*f.snapshot, markers));
}
BENCHMARK(BM_ResumeRail)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// Long accented texts, which every fold must take in linear time: an address line of n "é" (the playlist reader folds
// a non-ASCII address to guess the entry's kind), the longest line the reader still reads (16 MiB), a 2.6 MB playlist
// whose one long line carries most of it, and a title of n "ά" (outside the Latin fold table) as preparation folds it.
QByteArray accentedPlaylist(int64_t letters, int ordinaryEntries)
{
    QByteArray playlist("#EXTM3U\n");
    for (int i = 0; i < ordinaryEntries; ++i)
        playlist += "#EXTINF:-1 tvg-id=\"c" + QByteArray::number(i) + "\" group-title=\"Noticias\",Canal " +
                    QByteArray::number(i) + "\nhttp://h.example/live/u/p/" + QByteArray::number(i) + ".ts\n";
    playlist += "#EXTINF:-1 group-title=\"Películas\",Largo\nhttp://h.example/";
    playlist += QByteArray("é").repeated(letters);
    playlist += ".mkv\n";
    return playlist;
}

constexpr int64_t longestLineLetters = ((int64_t(16) << 20) - 32) / 2;

void BM_PlaylistAccentedAddress(benchmark::State& state)
{
    const QByteArray playlist = accentedPlaylist(state.range(0), int(state.range(1)));
    for (auto _ : state) {
        const NodeTable table = PlaylistIngestor::parseTable(playlist);
        if (table.size() != state.range(1) + 1)
            state.SkipWithError("the long line was not read");
    }
    state.SetBytesProcessed(state.iterations() * playlist.size());
    state.counters["bytes"] = double(playlist.size());
}
BENCHMARK(BM_PlaylistAccentedAddress)
    ->Args({160'000, 0})
    ->Args({320'000, 0})
    ->Args({640'000, 0})
    ->Args({longestLineLetters, 0})
    ->Args({1'250'000, 1'000})
    ->Unit(benchmark::kMillisecond);

void BM_PrepareAccentedTitle(benchmark::State& state)
{
    const QList<MediaNode> nodes{[&] {
        MediaNode n;
        n.kind = SignalKind::cinema;
        n.id = QStringLiteral("1");
        n.title = QStringLiteral("ά").repeated(state.range(0));
        n.groupID = QStringLiteral("g");
        n.groupName = QStringLiteral("Películas");
        return n;
    }()};
    for (auto _ : state) {
        state.PauseTiming();
        NodeTable table(nodes);
        state.ResumeTiming();
        benchmark::DoNotOptimize(CatalogEntries::prepare(std::move(table)));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PrepareAccentedTitle)->Arg(160'000)->Arg(320'000)->Arg(640'000)->Unit(benchmark::kMillisecond);

// Prepares what `read` gives, as the deck prepares a read catalogue; reading is not timed.
template <typename Read>
void timePreparation(benchmark::State& state, Read read, qsizetype bytes)
{
    for (auto _ : state) {
        state.PauseTiming();
        NodeTable table = read();
        if (table.size() != 1)
            state.SkipWithError("the entry was not read");
        state.ResumeTiming();
        benchmark::DoNotOptimize(CatalogSnapshot::build(std::move(table), {}, false));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes"] = double(bytes);
}

// A title or a group name of a letter and a run of marks, each pair out of canonical order, as one playlist entry,
// prepared as the deck prepares a read playlist. The last size is the longest line the reader keeps (16 MiB).
void BM_PrepareMarkedTitle(benchmark::State& state)
{
    const QString marks = QStringLiteral("\u0301\u0316\u0327\U0001D167");
    QString text = QStringLiteral("a");
    for (int64_t i = 0; i < state.range(0); ++i)
        text += QStringView(marks).sliced(i % 4 == 3 ? 3 : i % 4, i % 4 == 3 ? 2 : 1);
    const QByteArray utf8 = text.toUtf8();
    const bool inGroup = state.range(1) != 0;
    const QByteArray playlist = "#EXTM3U\n#EXTINF:-1 group-title=\"" + (inGroup ? utf8 : QByteArray("Cine")) + "\"," +
                                (inGroup ? QByteArray("Largo") : utf8) + "\nhttp://h.example/movie/u/p/1.mkv\n";
    timePreparation(
        state, [&] { return PlaylistIngestor::parseTable(playlist); }, utf8.size());
}
BENCHMARK(BM_PrepareMarkedTitle)
    ->ArgsProduct({{100'000, 400'000, ((int64_t(16) << 20) - 64) * 2 / 5}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// A group name of one Thai consonant repeated (what the fold leaves of any Thai name) as a playlist entry's group
// title or as a panel's category name. The last size is the longest line the playlist reader keeps (16 MiB).
void BM_PrepareThaiGroupName(benchmark::State& state)
{
    const QByteArray utf8 = QString(qsizetype(state.range(0)), QChar(0x0E01)).toUtf8();
    const QByteArray playlist =
        "#EXTM3U\n#EXTINF:-1 group-title=\"" + utf8 + "\",Largo\nhttp://h.example/movie/u/p/1.mkv\n";
    const QByteArray categories = R"([{"category_id":"1","category_name":")" + utf8 + R"("}])";
    const QByteArray streams = R"([{"stream_id":1,"name":"Largo","category_id":"1"}])";
    const QUrl panel(QStringLiteral("http://h.example"));
    if (state.range(1) == 0) {
        timePreparation(
            state, [&] { return PlaylistIngestor::parseTable(playlist); }, utf8.size());
    } else {
        timePreparation(
            state,
            [&] {
                return xtream::readStreamTable(streams, SignalKind::cinema, xtream::readCategoryMap(categories), panel);
            },
            utf8.size());
    }
}
BENCHMARK(BM_PrepareThaiGroupName)
    ->ArgsProduct({{100'000, 400'000, ((int64_t(16) << 20) - 64) / 3}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
