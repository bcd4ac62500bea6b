// Reading a panel's film list ("get_vod_streams") and an M3U playlist at 10k, 100k, 200k and 600k entries, with a
// plain QJsonDocument reader of the same film list as the baseline (the live and series lists too, each beside
// simdjson's walk of the same bytes with nothing built), and the core library's playlist parser beside
// the application's reader (with the plain reading of its rules as its baseline). Parsing is timed on one thread, as each
// list is parsed on one worker; the memory runs report the heap that parsing takes on top of the body.
// The playlist is also read by libvlc's own M3U reader and by npm's IPTV playlist parsers in Node, from the same bytes.
#include "AllocationMeter.h"
#include "ManyGroups.h"
#include "ProcessUsage.h"

#include "Networking/Playlist/PlaylistIngestor.h"
#include "Networking/PreparedCatalogReader.h"
#include "Networking/XtreamListReader.h"
#include "NetKit/PlaylistText.h"
#include "NetKit/Workers.h"
#include "OrrinthCore/M3UParser.h"
#include "State/FirstConnect.h"
#include "State/ReleaseOnWorker.h"
#include "catalog-gen/CatalogGenerator.h"
#include "catalog-gen/CoreM3UReference.h"
#include "catalog-gen/QJsonListReader.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>

#include <benchmark/benchmark.h>
#include <simdjson.h>
#include <vlc/vlc.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace sendra;

namespace {

const testkit::CatalogGenerator& generator()
{
    static const testkit::CatalogGenerator instance(testkit::CatalogShape{.seed = 2024, .categories = 120});
    return instance;
}

// A panel's stream list of one kind: live channels, films ("get_vod_streams") or series.
const QByteArray& streamList(testkit::PanelKind kind, int entries)
{
    static std::map<std::pair<testkit::PanelKind, int>, QByteArray> bodies;
    auto found = bodies.find({kind, entries});
    if (found == bodies.end())
        found = bodies.emplace(std::pair(kind, entries), generator().streams(kind, entries)).first;
    return found->second;
}

const QByteArray& filmList(int entries)
{
    return streamList(testkit::PanelKind::Vod, entries);
}

const xtream::CategoryMap& categories(testkit::PanelKind kind)
{
    static std::map<testkit::PanelKind, xtream::CategoryMap> maps;
    auto found = maps.find(kind);
    if (found == maps.end())
        found = maps.emplace(kind, xtream::readCategoryMap(generator().categories(kind))).first;
    return found->second;
}

const xtream::CategoryMap& filmCategories()
{
    return categories(testkit::PanelKind::Vod);
}

const QByteArray& playlist(int entries)
{
    static std::map<int, QByteArray> bodies;
    auto found = bodies.find(entries);
    if (found == bodies.end())
        found = bodies.emplace(entries, generator().playlist(entries)).first;
    return found->second;
}

// Every logo's text rewritten by `logo`, every stream address's by `stream`.
template<typename Logo, typename Stream>
QByteArray rewritten(const QByteArray& body, const Logo& logo, const Stream& stream)
{
    QByteArray out;
    out.reserve(body.size() + body.size() / 4);
    for (qsizetype at = 0; at < body.size();) {
        qsizetype end = body.indexOf('\n', at);
        end = end < 0 ? body.size() : end;
        const QByteArrayView line = QByteArrayView(body).sliced(at, end - at);
        if (line.startsWith("#EXTINF")) {
            const qsizetype from = line.indexOf("tvg-logo=\"") + 10;
            const qsizetype to = line.indexOf('"', from);
            out.append(line.first(from)).append(logo(line.sliced(from, to - from))).append(line.sliced(to));
        } else if (!line.isEmpty() && !line.startsWith('#')) {
            out.append(stream(line));
        } else {
            out.append(line);
        }
        if (end < body.size())
            out.append('\n');
        at = end + 1;
    }
    return out;
}

// The same playlist with every stream address and logo carrying what real ones carry: a token or a size in a
// query on one entry, a percent escape in the path on the next.
QByteArray withQueriesAndEscapes(const QByteArray& body)
{
    qsizetype entry = 0;
    const auto withEscape = [](QByteArrayView address) {
        const qsizetype dot = address.lastIndexOf('.');
        return address.first(dot).toByteArray().append("%20HD").append(address.sliced(dot));
    };
    return rewritten(
        body,
        [&](QByteArrayView logo) {
            return entry % 2 == 0 ? logo.toByteArray().append("?w=300&h=450") : withEscape(logo);
        },
        [&](QByteArrayView line) {
            return entry++ % 2 == 0 ? line.toByteArray().append("?token=9f86d081884c7d65&exp=1733650000")
                                    : withEscape(line);
        });
}

const QByteArray& queriedPlaylist(int entries)
{
    static std::map<int, QByteArray> bodies;
    auto found = bodies.find(entries);
    if (found == bodies.end())
        found = bodies.emplace(entries, withQueriesAndEscapes(playlist(entries))).first;
    return found->second;
}

// The same entries listed group by group, each group where its first entry stood, as many playlists are written
// (the generator's own order draws every entry's group anew, scattering the groups through the file).
const QByteArray& playlistSortedByGroup(int entries)
{
    static std::map<int, QByteArray> bodies;
    auto found = bodies.find(entries);
    if (found == bodies.end()) {
        const QByteArray& scattered = playlist(entries);
        const qsizetype firstEntry = scattered.indexOf("#EXTINF");
        std::vector<std::pair<QByteArray, QByteArrayView>> records; // group title, the entry's two lines
        for (qsizetype at = firstEntry; at >= 0 && at < scattered.size();) {
            const qsizetype infoEnd = scattered.indexOf('\n', at);
            const qsizetype end = scattered.indexOf('\n', infoEnd + 1) + 1;
            const QByteArrayView record = QByteArrayView(scattered).sliced(at, end - at);
            const qsizetype title = record.indexOf("group-title=\"") + 13;
            records.emplace_back(record.sliced(title, record.indexOf('"', title) - title).toByteArray(), record);
            at = end;
        }
        std::map<QByteArray, std::size_t> firstSeen;
        for (const auto& record : records)
            firstSeen.try_emplace(record.first, firstSeen.size());
        std::stable_sort(records.begin(), records.end(),
                         [&](const auto& a, const auto& b) { return firstSeen[a.first] < firstSeen[b.first]; });
        QByteArray sorted = scattered.first(firstEntry);
        sorted.reserve(scattered.size());
        for (const auto& record : records)
            sorted.append(record.second);
        found = bodies.emplace(entries, std::move(sorted)).first;
    }
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

// What the ingestor's worker does while the playlist arrives: the same bytes handed over in 64 KiB pieces.
NodeTable readPlaylistInPieces(const QByteArray& body)
{
    PlaylistReader reader(QUrl(), Utf8Check::strict);
    constexpr qsizetype piece = 64 * 1024;
    for (qsizetype at = 0; at < body.size(); at += piece)
        reader.push(QByteArrayView(body).sliced(at, std::min(piece, body.size() - at)), body.size());
    return reader.finish();
}

// The least any reader of a playlist does: the text checked as UTF-8 and cut into lines at every line end the
// format knows (as the reader cuts it), each line trimmed and its information lines counted.
struct Count
{
    qsizetype entries = 0;
    qsizetype size() const { return entries; }
};

Count scanPlaylist(const QByteArray& body)
{
    Count count;
    if (!simdjson::validate_utf8(body.constData(), std::size_t(body.size())))
        return count;
    const std::string_view text(body.constData(), std::size_t(body.size()));
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t endLength = 0;
        const std::size_t end = netkit::playlist::findLineEnd(text, pos, endLength);
        const std::string_view line = netkit::playlist::trimmed(text.substr(pos, end - pos));
        pos = end + endLength;
        if (line.starts_with("#EXTINF"))
            ++count.entries;
    }
    return count;
}

// A prepared film section of `entries` items, as the platform serves it.
const QByteArray& preparedFilms(int entries)
{
    static std::map<int, QByteArray> bodies;
    auto found = bodies.find(entries);
    if (found == bodies.end()) {
        QByteArray body = R"({"version":1,"items":[)";
        for (int i = 0; i < entries; ++i) {
            const int category = i % 120;
            body += (i ? ",{" : "{") + QByteArray(R"("id":"m)") + QByteArray::number(i) + R"(","name":)"
                    + QJsonDocument(QJsonArray{generator().title(testkit::PanelKind::Vod, i)}).toJson(QJsonDocument::Compact).mid(1).chopped(1)
                    + R"(,"kind":"movies","categoryId":")" + QByteArray::number(category) + R"(","category":")"
                    + generator().categoryName(testkit::PanelKind::Vod, category).toUtf8()
                    + R"(","image":"https://img.example.test/p/)" + QByteArray::number(i) + R"(.jpg","extension":"mp4"})";
        }
        found = bodies.emplace(entries, body + "]}").first;
    }
    return found->second;
}

// What the section's worker does while it arrives: the bytes in 64 KiB pieces, straight into the entry table.
NodeTable readPreparedFilms(const QByteArray& body)
{
    platform::CatalogIdentity identity;
    identity.version = 1;
    static std::map<qsizetype, qint64> counts; // by body size: counted once, not timed
    auto [count, added] = counts.try_emplace(body.size(), 0);
    if (added)
        count->second = qint64(body.count("\"kind\":\"movies\""));
    identity.counts = {0, count->second, 0};
    platform::SectionReader reader(identity, SignalKind::cinema, QUrl(QStringLiteral("https://platform.example.test/api/catalog/b/movies")));
    constexpr qsizetype piece = 64 * 1024;
    for (qsizetype at = 0; at < body.size(); at += piece)
        reader.push(body.sliced(at, std::min(piece, body.size() - at)), body.size());
    return reader.finish();
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

// What the core's caller keeps: the compact catalogue table.
orrinth::CatalogTable readPlaylistWithCore(const QString& text)
{
    return orrinth::M3UParser().parseTable(text);
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

template <testkit::PanelKind Kind>
void StreamList_Simdjson(benchmark::State& state)
{
    constexpr SignalKind kind = Kind == testkit::PanelKind::Live  ? SignalKind::broadcast
                                : Kind == testkit::PanelKind::Vod ? SignalKind::cinema
                                                                  : SignalKind::episodic;
    timeReading(state, streamList(Kind, int(state.range(0))), [](const QByteArray& body) {
        return xtream::readStreamTable(body, kind, categories(Kind), panelAddress());
    });
}

// The JSON parsing alone, with nothing built: what the entries themselves cost is the difference.
template <testkit::PanelKind Kind>
void StreamList_Simdjson_ParseOnly(benchmark::State& state)
{
    const QByteArray& body = streamList(Kind, int(state.range(0)));
    for (auto _ : state) {
        qsizetype objects = 0;
        xtream::walkObjectList(body, {.visit = [&objects](const simdjson::dom::object&) { ++objects; },
                                      .restart = [&objects] { objects = 0; }});
        benchmark::DoNotOptimize(objects);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// One reader of `body` timed inside a fresh Node process: `prelude` loads it, `parse` reads the text `b` into `v` and
// `count` counts what `v` holds, which must be every entry. Every round is timed inside Node, on text already decoded;
// the first round and the median of the rest are reported, and the time shown is the median. Past 20 s in all, no
// round starts after the second (one npm parser is quadratic). Skipped without `node`.
void timeInNode(benchmark::State& state, const QByteArray& body, const QString& prelude, const QString& parse,
                const QString& count, const QStringList& extraArguments = {})
{
    QTemporaryFile file;
    if (!file.open() || file.write(body) != body.size() || !file.flush()) {
        state.SkipWithError("cannot write the body for node");
        return;
    }
    constexpr int rounds = 7;
    const QString script = prelude
        + QStringLiteral("const b=require('fs').readFileSync(process.argv[1],'utf8');"
                         "for(let i=0,s=0;i<+process.argv[2]&&(i<2||s<20000);i++){const t=process.hrtime.bigint();"
                         "const v=%1;const ms=Number(process.hrtime.bigint()-t)/1e6;s+=ms;console.log(ms, %2);}")
              .arg(parse, count);
    QProcess node;
    node.start(QStringLiteral("node"),
               QStringList{QStringLiteral("-e"), script, file.fileName(), QString::number(rounds)} + extraArguments);
    if (!node.waitForStarted()) {
        state.SkipWithError("node is not available");
        return;
    }
    if (!node.waitForFinished(600'000) || node.exitStatus() != QProcess::NormalExit || node.exitCode() != 0) {
        const QByteArray why = node.readAllStandardError().trimmed().split('\n').value(0);
        state.SkipWithError(("node failed: " + why.toStdString()).c_str());
        return;
    }
    std::vector<double> milliseconds;
    for (const QByteArray& line : node.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(' ');
        if (fields.value(1).toLongLong() != state.range(0)) {
            state.SkipWithError(("the reader lost entries: " + fields.value(1).toStdString()).c_str());
            return;
        }
        milliseconds.push_back(fields.value(0).toDouble());
    }
    if (milliseconds.size() < 2) {
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
    state.counters["node_rounds"] = double(milliseconds.size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Node's JSON.parse of the same bytes, for comparison.
void FilmList_NodeJsonParse(benchmark::State& state)
{
    timeInNode(state, filmList(int(state.range(0))), {}, QStringLiteral("JSON.parse(b)"), QStringLiteral("v.length"));
}

void FilmList_QJsonDocument(benchmark::State& state)
{
    timeReading(state, filmList(int(state.range(0))), readFilmsWithQJson);
}

void Playlist(benchmark::State& state)
{
    timeReading(state, playlist(int(state.range(0))), readPlaylist);
}

void Playlist_InPieces(benchmark::State& state)
{
    timeReading(state, playlist(int(state.range(0))), readPlaylistInPieces);
}

// The same entries with their groups scattered through the file and listed group by group: the group lookup should
// cost about the same either way.
void Playlist_GroupsScattered(benchmark::State& state)
{
    timeReading(state, playlist(int(state.range(0))), readPlaylist);
}

void Playlist_GroupsSorted(benchmark::State& state)
{
    timeReading(state, playlistSortedByGroup(int(state.range(0))), readPlaylist);
}

// What the download road does: 64 KiB pieces gathered into 2 MiB chunks, read on the background pool and joined (wall
// time; the CPU time shown is the calling thread's). The heap meter counts one thread, so this road's memory is
// measured by bench_hostile's LargePlaylist instead.
NodeTable readPlaylistOnWorkers(const QByteArray& body)
{
    PlaylistReader reader(QUrl(), Utf8Check::strict, qsizetype(2) << 20);
    constexpr qsizetype piece = 64 * 1024;
    for (qsizetype at = 0; at < body.size(); at += piece)
        reader.push(QByteArrayView(body).sliced(at, std::min(piece, body.size() - at)), body.size());
    return reader.finish();
}

void Playlist_InPiecesOnWorkers(benchmark::State& state)
{
    timeReading(state, playlist(int(state.range(0))), readPlaylistOnWorkers);
    state.counters["cores"] = double(QThread::idealThreadCount());
}

void Playlist_ScanningFloor(benchmark::State& state)
{
    timeReading(state, playlist(int(state.range(0))), scanPlaylist);
}

// Every address and logo with a query or an escape, beside the same entries without them.
void Playlist_QueriedAddresses(benchmark::State& state)
{
    timeReading(state, queriedPlaylist(int(state.range(0))), readPlaylist);
}

void Playlist_QueriedAddresses_Without(benchmark::State& state)
{
    timeReading(state, playlist(int(state.range(0))), readPlaylist);
}

void Playlist_Core_QueriedAddresses(benchmark::State& state)
{
    static std::map<int, QString> texts;
    const int entries = int(state.range(0));
    if (!texts.contains(entries))
        texts.emplace(entries, QString::fromUtf8(queriedPlaylist(entries)));
    timeReading(state, texts.at(entries), readPlaylistWithCore);
}

void Playlist_Core_QueriedAddresses_Without(benchmark::State& state)
{
    timeReading(state, playlistText(int(state.range(0))), readPlaylistWithCore);
}

void PreparedFilms(benchmark::State& state)
{
    timeReading(state, preparedFilms(int(state.range(0))), readPreparedFilms);
}

void PreparedFilms_Memory(benchmark::State& state)
{
    measureMemory(state, preparedFilms(int(state.range(0))), readPreparedFilms);
}

void Playlist_InPieces_Memory(benchmark::State& state)
{
    measureMemory(state, playlist(int(state.range(0))), readPlaylistInPieces);
}

// libvlc's own M3U reader: the playlist is a file, parsed into a media's sub-items on libvlc's preparser thread and
// timed from the parse request to its "parsed" event, by which the sub-items list is complete. The instance is made
// once per run; making it and the first parse (which loads the demuxers) are reported apart, the time shown is a warm
// parse, as in a running player. libvlc keeps every entry of these playlists: a count that differs is an error.
struct VlcParse
{
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
};

void onVlcParsed(const libvlc_event_t*, void* opaque)
{
    auto* parse = static_cast<VlcParse*>(opaque);
    const std::lock_guard lock(parse->mutex);
    parse->ended = true;
    parse->changed.notify_all();
}

// The sub-items `vlc` reads from the playlist at `path` (-1 when it gives up), and the time it took.
qsizetype parseWithVlc(libvlc_instance_t* vlc, const QByteArray& path, double& seconds)
{
    libvlc_media_t* media = libvlc_media_new_path(vlc, path.constData());
    if (!media)
        return -1;
    VlcParse parse;
    libvlc_event_manager_t* events = libvlc_media_event_manager(media);
    libvlc_event_attach(events, libvlc_MediaParsedChanged, onVlcParsed, &parse);
    const auto start = std::chrono::steady_clock::now();
    if (libvlc_media_parse_with_options(media, libvlc_media_parse_local, 600'000) == 0) {
        std::unique_lock lock(parse.mutex);
        parse.changed.wait_for(lock, std::chrono::minutes(11), [&parse] { return parse.ended; });
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    qsizetype count = -1;
    if (libvlc_media_get_parsed_status(media) == libvlc_media_parsed_status_done) {
        if (libvlc_media_list_t* items = libvlc_media_subitems(media)) {
            libvlc_media_list_lock(items);
            count = libvlc_media_list_count(items);
            libvlc_media_list_unlock(items);
            libvlc_media_list_release(items);
        }
    } else {
        libvlc_media_parse_stop(media);
    }
    libvlc_event_detach(events, libvlc_MediaParsedChanged, onVlcParsed, &parse);
    libvlc_media_release(media);
    return count;
}

void Playlist_LibVlc(benchmark::State& state)
{
    const QByteArray& body = playlist(int(state.range(0)));
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/sendra-bench-XXXXXX.m3u"));
    if (!file.open() || file.write(body) != body.size() || !file.flush()) {
        state.SkipWithError("cannot write the playlist for libvlc");
        return;
    }
    const QByteArray path = QFile::encodeName(QFileInfo(file).absoluteFilePath());
    const char* const arguments[] = {"--quiet", "--intf=dummy", "--no-audio", "--no-video", "--vout=dummy"};
    const auto made = std::chrono::steady_clock::now();
    libvlc_instance_t* vlc = libvlc_new(int(std::size(arguments)), arguments);
    const double instanceSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - made).count();
    if (!vlc) {
        state.SkipWithError("libvlc is not available");
        return;
    }
    double firstSeconds = 0;
    qsizetype count = parseWithVlc(vlc, path, firstSeconds);
    if (count != state.range(0)) {
        state.SkipWithError(("libvlc read " + std::to_string(count) + " entries").c_str());
        libvlc_release(vlc);
        return;
    }
    for (auto _ : state) {
        double seconds = 0;
        count = parseWithVlc(vlc, path, seconds);
        state.SetIterationTime(seconds);
        if (count != state.range(0)) {
            state.SkipWithError(("libvlc read " + std::to_string(count) + " entries").c_str());
            break;
        }
    }
    libvlc_release(vlc);
    state.counters["instance_ms"] = instanceSeconds * 1000.0;
    state.counters["first_parse_ms"] = firstSeconds * 1000.0;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// npm's IPTV playlist parsers, installed under the build tree by npm-peers/install on first use (skipped when that
// cannot be done, as without the network). Each reads the attributed #EXTINF lines into entry objects.
const QString& npmPeers()
{
    static const QString folder = [] {
        const QString dir = QStringLiteral(SENDRA_NPM_PEERS_DIR);
        if (QFileInfo::exists(dir + QStringLiteral("/node_modules/.package-lock.json")))
            return dir;
        QProcess install;
        install.start(QStringLiteral(SENDRA_NPM_PEERS_INSTALL), {dir});
        if (!install.waitForFinished(300'000) || install.exitStatus() != QProcess::NormalExit || install.exitCode() != 0)
            return QString();
        return dir;
    }();
    return folder;
}

void timeNpmPeer(benchmark::State& state, const char* package, const char* parse, const char* count)
{
    if (npmPeers().isEmpty()) {
        state.SkipWithError("the npm parsers are not installed and npm could not install them");
        return;
    }
    const QString prelude =
        QStringLiteral("const p=require('module').createRequire(process.argv[3]+'/')('%1');").arg(QLatin1String(package));
    timeInNode(state, playlist(int(state.range(0))), prelude, QLatin1String(parse), QLatin1String(count), {npmPeers()});
}

void Playlist_Npm_IptvPlaylist(benchmark::State& state)
{
    timeNpmPeer(state, "@iptv/playlist", "p.parseM3U(b)", "v.channels.length");
}

void Playlist_Npm_IptvPlaylistParser(benchmark::State& state)
{
    timeNpmPeer(state, "iptv-playlist-parser", "p.parse(b)", "v.items.length");
}

void Playlist_Npm_M3uParserGenerator(benchmark::State& state)
{
    timeNpmPeer(state, "m3u-parser-generator", "new p.M3uParser().parse(b)", "v.medias.length");
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

// ---- Playlists whose entries are spread among many groups ----
QByteArray manyGroupsPlaylist(int entries, int groups, bool sorted)
{
    return bench::regroupedPlaylist(playlist(entries), groups, sorted);
}

// Arguments: entries, groups, sorted (0 or 1). Each is best run once per process (--benchmark_filter), the
// scattered and sorted sides alternated, as the first read of a process is what a connect pays.
void Playlist_ManyGroups_OnWorkers(benchmark::State& state)
{
    const QByteArray body = manyGroupsPlaylist(int(state.range(0)), int(state.range(1)), state.range(2) != 0);
    timeReading(state, body, readPlaylistOnWorkers);
    state.counters["cores"] = double(QThread::idealThreadCount());
}

void Playlist_ManyGroups_OneThread(benchmark::State& state)
{
    const QByteArray body = manyGroupsPlaylist(int(state.range(0)), int(state.range(1)), state.range(2) != 0);
    timeReading(state, body, readPlaylist);
}

void manyGroups(benchmark::internal::Benchmark* bench)
{
    bench->ArgNames({"entries", "groups", "sorted"});
    for (const int groups : {15'000, 50'000})
        for (const int sorted : {0, 1})
            bench->Args({600'000, groups, sorted});
    bench->Args({600'000, 120, 1}); // an ordinary playlist, for the road in chunks against one thread
    bench->Unit(benchmark::kMillisecond)->UseRealTime();
}
// ---- end of the many-groups block ----

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

BENCHMARK(StreamList_Simdjson<testkit::PanelKind::Vod>)->Name("FilmList_Simdjson")->Apply(sizes);
BENCHMARK(StreamList_Simdjson_ParseOnly<testkit::PanelKind::Vod>)->Name("FilmList_Simdjson_ParseOnly")->Apply(sizes);
BENCHMARK(StreamList_Simdjson<testkit::PanelKind::Live>)->Name("LiveList_Simdjson")->Apply(sizes);
BENCHMARK(StreamList_Simdjson_ParseOnly<testkit::PanelKind::Live>)->Name("LiveList_Simdjson_ParseOnly")->Apply(sizes);
BENCHMARK(StreamList_Simdjson<testkit::PanelKind::Series>)->Name("SeriesList_Simdjson")->Apply(sizes);
BENCHMARK(StreamList_Simdjson_ParseOnly<testkit::PanelKind::Series>)->Name("SeriesList_Simdjson_ParseOnly")->Apply(sizes);
BENCHMARK(FilmList_NodeJsonParse)->Apply(sizes)->UseManualTime()->Iterations(1);
BENCHMARK(FilmList_QJsonDocument)->Apply(sizes);
BENCHMARK(Playlist)->Apply(sizes);
BENCHMARK(Playlist_InPieces)->Apply(sizes);
BENCHMARK(Playlist_GroupsScattered)->Apply(sizes);
BENCHMARK(Playlist_GroupsSorted)->Apply(sizes);
BENCHMARK(Playlist_InPiecesOnWorkers)->Apply(sizes)->UseRealTime();
BENCHMARK(Playlist_ScanningFloor)->Apply(sizes);
BENCHMARK(PreparedFilms)->Apply(sizes);
BENCHMARK(Playlist_QueriedAddresses)->Apply(sizes);
BENCHMARK(Playlist_QueriedAddresses_Without)->Apply(sizes);
BENCHMARK(Playlist_Core_QueriedAddresses)->Apply(sizes);
BENCHMARK(Playlist_Core_QueriedAddresses_Without)->Apply(sizes);
BENCHMARK(Playlist_LibVlc)->Apply(sizes)->UseManualTime();
BENCHMARK(Playlist_Npm_IptvPlaylist)->Apply(sizes)->UseManualTime()->Iterations(1)->Repetitions(1);
BENCHMARK(Playlist_Npm_IptvPlaylistParser)->Apply(sizes)->UseManualTime()->Iterations(1)->Repetitions(1);
BENCHMARK(Playlist_Npm_M3uParserGenerator)->Apply(sizes)->UseManualTime()->Iterations(1)->Repetitions(1);
BENCHMARK(Playlist_Core)->Apply(sizes);
BENCHMARK(Playlist_CorePlainReading)->Apply(sizes);
BENCHMARK(FilmList_Simdjson_Memory)->Apply(memorySizes);
BENCHMARK(FilmList_QJsonDocument_Memory)->Apply(memorySizes);
BENCHMARK(Playlist_Memory)->Apply(memorySizes);
BENCHMARK(Playlist_InPieces_Memory)->Apply(memorySizes)->Arg(5'000'000);
BENCHMARK(PreparedFilms_Memory)->Apply(memorySizes)->Arg(3'000'000);
BENCHMARK(Playlist_Core_Memory)->Apply(memorySizes);

BENCHMARK(Playlist_ManyGroups_OnWorkers)->Apply(manyGroups);
BENCHMARK(Playlist_ManyGroups_OneThread)->Apply(manyGroups);

// Logos written relative to the playlist's own address and addresses with lower-case escapes, each beside the same
// playlist written the plain way: absolute logos, upper-case escapes.
namespace {

const QUrl& playlistAddress()
{
    static const QUrl address(
        QStringLiteral("http://lists.example.test:8080/get.php?username=demo&password=s3cret&type=m3u_plus"));
    return address;
}

enum class AddressShape { pathAbsoluteLogos, lowerCaseEscapes, upperCaseEscapes };

const QByteArray& shapedPlaylist(AddressShape shape, int entries)
{
    static std::map<std::pair<AddressShape, int>, QByteArray> bodies;
    auto found = bodies.find({shape, entries});
    if (found != bodies.end())
        return found->second;
    const auto same = [](QByteArrayView address) { return address.toByteArray(); };
    // "http://img.example.test/logos/5000.png" as "/logos/5000.png".
    const auto pathOnly = [](QByteArrayView address) { return address.sliced(address.indexOf('/', 8)).toByteArray(); };
    const auto escaped = [](const char* escape) {
        return [escape](QByteArrayView address) {
            const qsizetype dot = address.lastIndexOf('.');
            return address.first(dot).toByteArray().append(escape).append(address.sliced(dot));
        };
    };
    QByteArray body;
    switch (shape) {
    case AddressShape::pathAbsoluteLogos: body = rewritten(playlist(entries), pathOnly, same); break;
    case AddressShape::lowerCaseEscapes:
        body = rewritten(playlist(entries), escaped("-Se%c3%b1al"), escaped("-Se%c3%b1al"));
        break;
    case AddressShape::upperCaseEscapes:
        body = rewritten(playlist(entries), escaped("-Se%C3%B1al"), escaped("-Se%C3%B1al"));
        break;
    }
    return bodies.emplace(std::pair(shape, entries), std::move(body)).first->second;
}

NodeTable readPlaylistFromItsAddress(const QByteArray& body)
{
    if (!simdjson::validate_utf8(body.constData(), std::size_t(body.size())))
        return {};
    return PlaylistIngestor::parseTable(body, playlistAddress());
}

void Playlist_PathAbsoluteLogos(benchmark::State& state)
{
    timeReading(state, shapedPlaylist(AddressShape::pathAbsoluteLogos, int(state.range(0))),
                readPlaylistFromItsAddress);
}

void Playlist_PathAbsoluteLogos_Absolute(benchmark::State& state)
{
    timeReading(state, playlist(int(state.range(0))), readPlaylistFromItsAddress);
}

void Playlist_LowerCaseEscapes(benchmark::State& state)
{
    timeReading(state, shapedPlaylist(AddressShape::lowerCaseEscapes, int(state.range(0))), readPlaylistFromItsAddress);
}

void Playlist_LowerCaseEscapes_UpperCase(benchmark::State& state)
{
    timeReading(state, shapedPlaylist(AddressShape::upperCaseEscapes, int(state.range(0))), readPlaylistFromItsAddress);
}

} // namespace

BENCHMARK(Playlist_PathAbsoluteLogos)->Apply(sizes);
BENCHMARK(Playlist_PathAbsoluteLogos_Absolute)->Apply(sizes);
BENCHMARK(Playlist_LowerCaseEscapes)->Apply(sizes);
BENCHMARK(Playlist_LowerCaseEscapes_UpperCase)->Apply(sizes);

// The first read of a process beside the next ones: a user's connect is always the first read of its process, so
// whatever the reader builds, starts or faults in once shows here. Each repetition is a fresh process (this program
// started again with --first-read), which reads the playlist as the download road does, three times over.
namespace {

constexpr int warmReads = 2;

// The child: reads the playlist in `file` as the application's process would, and prints what each read took.
int readFirstAndWarm(const char* file)
{
    // As the application starts; its user then takes a while to type the playlist's address.
    sendra::mapLargeBlocksApart();
    sendra::prepareForFirstConnect();
    netkit::backgroundPool().waitUntilIdle();
    QFile in(QString::fromLocal8Bit(file));
    if (!in.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray body = in.readAll();
    for (int read = 0; read <= warmReads; ++read) {
        const long faultsBefore = bench::processFaults();
        const bench::CpuTime before = bench::processCpuTime();
        const auto start = std::chrono::steady_clock::now();
        NodeTable nodes = readPlaylistOnWorkers(body);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        const bench::CpuTime after = bench::processCpuTime();
        std::printf("read%d_ms %.3f\nread%d_cpu_ms %.3f\nread%d_sys_ms %.3f\nread%d_faults %ld\nread%d_entries %lld\n",
                    read, took.count(), read, after.userMs + after.systemMs - before.userMs - before.systemMs, read,
                    after.systemMs - before.systemMs, read, bench::processFaults() - faultsBefore, read,
                    static_cast<long long>(nodes.size()));
        netkit::backgroundPool().waitUntilIdle();
    }
    return 0;
}

void Playlist_FirstReadOfAProcess(benchmark::State& state)
{
    const int entries = int(state.range(0));
    static std::map<int, std::unique_ptr<QTemporaryFile>> files;
    std::unique_ptr<QTemporaryFile>& file = files[entries];
    if (!file) {
        file = std::make_unique<QTemporaryFile>();
        if (!file->open() || file->write(playlist(entries)) != playlist(entries).size() || !file->flush()) {
            state.SkipWithError("the playlist could not be written");
            return;
        }
    }
    std::map<std::string, double> values;
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                    {QStringLiteral("--first-read"), file->fileName()});
        if (!child.waitForFinished(600'000) || child.exitCode() != 0) {
            state.SkipWithError("the reading process failed");
            return;
        }
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2)
                values[parts[0].toStdString()] = parts[1].toDouble();
        }
        for (int read = 0; read <= warmReads; ++read) {
            if (values["read" + std::to_string(read) + "_entries"] != entries) {
                state.SkipWithError("the reader lost entries");
                return;
            }
        }
        state.SetIterationTime(values["read0_ms"] / 1000.0);
    }
    const double warm = std::min(values["read1_ms"], values["read2_ms"]);
    state.counters["first_ms"] = values["read0_ms"];
    state.counters["warm_ms"] = warm;
    state.counters["first_vs_warm"] = values["read0_ms"] / warm;
    state.counters["first_cpu_ms"] = values["read0_cpu_ms"];
    state.counters["warm_cpu_ms"] = std::min(values["read1_cpu_ms"], values["read2_cpu_ms"]);
    state.counters["first_sys_ms"] = values["read0_sys_ms"];
    state.counters["warm_sys_ms"] = std::min(values["read1_sys_ms"], values["read2_sys_ms"]);
    state.counters["first_faults"] = values["read0_faults"];
    state.counters["warm_faults"] = values["read2_faults"];
    state.SetItemsProcessed(state.iterations() * entries);
}

} // namespace

BENCHMARK(Playlist_FirstReadOfAProcess)->Apply(sizes)->UseManualTime()->Iterations(1);

namespace {

// An ordinary playlist as providers list it: its entries group by group among 1,000 groups, read on one thread
// without and with the playlist's own address (what a connect pays on a machine with few cores).
void Playlist_OrdinarySorted_OneThread(benchmark::State& state)
{
    const QByteArray body = manyGroupsPlaylist(int(state.range(0)), int(state.range(1)), true);
    timeReading(state, body, state.range(2) != 0 ? &readPlaylistFromItsAddress : &readPlaylist);
}

} // namespace

BENCHMARK(Playlist_OrdinarySorted_OneThread)
    ->ArgNames({"entries", "groups", "address"})
    ->Args({600'000, 1'000, 0})
    ->Args({600'000, 1'000, 1})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--first-read") == 0)
        return readFirstAndWarm(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
