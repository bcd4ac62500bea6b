// Hostile answers over loopback: an endless gzip answer through the HTTP session (time to its error, the longest
// the main thread went without running a 50 ms timer, peak resident growth), a playlist with a line of a gigabyte,
// screens of hostile posters through the artwork provider (peak resident growth), stored lists damaged on disk
// (time to read, records kept), and a large prepared catalogue section read as it arrives (peak resident growth
// against its size). Run each alone (--benchmark_filter) for a clean peak.
#include "Domain/StoredJson.h"
#include "NetKit/HttpSession.h"
#include "Networking/Playlist/PlaylistIngestor.h"
#include "Networking/PreparedCatalogReader.h"
#include "UI/ArtworkProvider.h"
#include "fakes/Compressed.h"
#include "fakes/HostilePictures.h"
#include "fakes/LoopbackServer.h"
#include "fakes/ResidentMemory.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QQuickImageResponse>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <iostream>
#include <memory>

using sendra::fakes::compressed;
using sendra::fakes::LoopbackServer;
using sendra::fakes::Reply;
using sendra::fakes::resetResidentPeak;
using sendra::fakes::statusKilobytes;

namespace {

QCoro::Task<void> sendIgnoringErrors(netkit::HttpSession session, netkit::HttpRequest request, bool* done)
{
    try {
        co_await session.send(std::move(request), {});
    } catch (...) {
    }
    *done = true;
}

// range(0): 0 an ordinary answer (16 MiB), 1 a large list collected (1 GiB), 2 a large list handed on in pieces.
void GzipBomb(benchmark::State& state)
{
    LoopbackServer server;
    Reply bomb = Reply::json(compressed(std::string(64 << 20, ' '), 31, 9)).endless();
    bomb.contentType = "application/octet-stream";
    bomb.headers.emplace_back("Content-Encoding", "gzip");
    server.route("GET", "/bomb", bomb);
    QNetworkAccessManager manager;
    for (auto _ : state) {
        netkit::HttpRequest request;
        request.url = server.url("/bomb");
        if (state.range(0) > 0)
            request.boundAsLargeList();
        if (state.range(0) == 2)
            request.takeBody = [](QByteArray, qint64) {};
        const qint64 before = resetResidentPeak();
        qint64 longestGap = 0;
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer ticker;
        ticker.setInterval(50);
        QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        ticker.start();
        QElapsedTimer took;
        took.start();
        bool done = false;
        sendIgnoringErrors(netkit::HttpSession(&manager), request, &done);
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.SetIterationTime(took.elapsed() / 1000.0);
        state.counters["main_thread_gap_ms"] = double(longestGap);
        state.counters["peak_rss_growth_MB"] = double(statusKilobytes("VmHWM:") - before) / 1024.0;
    }
}
BENCHMARK(GzipBomb)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

QCoro::Task<void> downloadPlaylist(netkit::HttpSession session, QUrl address, qint64* entries, bool* done)
{
    try {
        *entries = (co_await sendra::PlaylistIngestor(session).download(address, {})).size();
    } catch (...) {
        *entries = -1;
    }
    *done = true;
}

// Serves `body` as a playlist over loopback as fast as it goes and reads it through the real playlist road (read on
// a worker while it arrives), once per iteration: the time, the entries read and the peak resident growth. The body
// is handed to the server before the peak is reset, so only the reading side counts.
void readServedPlaylist(benchmark::State& state, std::string body)
{
    const qint64 bodyBytes = qint64(body.size());
    LoopbackServer server;
    // A route made from a Reply copies it for every request: a copy of the body would count as the reader's. The
    // body is handed over once instead (one iteration, one request).
    auto kept = std::make_shared<std::string>(std::move(body));
    server.route("GET", "/all.m3u", [kept](const sendra::fakes::RecordedRequest&) {
        Reply reply = Reply::json(std::move(*kept));
        reply.contentType = "audio/x-mpegurl";
        return reply;
    });
    QNetworkAccessManager manager;
    for (auto _ : state) {
        const qint64 before = resetResidentPeak();
        QElapsedTimer took;
        took.start();
        bool done = false;
        qint64 entries = 0;
        downloadPlaylist(netkit::HttpSession(&manager), server.url("/all.m3u"), &entries, &done);
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.SetIterationTime(took.elapsed() / 1000.0);
        const double growth = double(statusKilobytes("VmHWM:") - before) * 1024.0;
        state.counters["entries"] = double(entries);
        state.counters["peak_rss_growth_MB"] = growth / double(1 << 20);
        state.counters["peak_per_body"] = growth / double(bodyBytes);
    }
}

// A playlist of range(0) MB of ordinary entries.
void LargePlaylist(benchmark::State& state)
{
    const qint64 size = state.range(0) << 20;
    std::string body = "#EXTM3U\n";
    body.reserve(size + 256);
    for (int i = 0; qint64(body.size()) < size; ++i)
        body += "#EXTINF:-1 tvg-id=\"c" + std::to_string(i) + "\" group-title=\"G" + std::to_string(i % 97) +
                "\",Canal " + std::to_string(i) + "\nhttp://example.test/live/u/p/" + std::to_string(i) + ".ts\n";
    readServedPlaylist(state, std::move(body));
}
BENCHMARK(LargePlaylist)->Arg(300)->Arg(1000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A playlist whose second line is range(0) MB long, between ordinary entries: the line is skipped as it arrives, the
// entries after it kept (11: the one before the line, its own, ten after it).
void OverLongLinePlaylist(benchmark::State& state)
{
    const qint64 size = state.range(0) << 20;
    std::string body = "#EXTM3U\n#EXTINF:-1 tvg-id=\"a\",Antes\nhttp://example.test/live/u/p/0.ts\n#EXTINF:-1,Larga\n";
    body.reserve(size + 4096);
    body.append("http://example.test/");
    body.resize(size, 'a');
    body += "\n";
    for (int i = 1; i <= 10; ++i)
        body += "#EXTINF:-1 tvg-id=\"c" + std::to_string(i) + "\" group-title=\"G\",Canal " + std::to_string(i) +
                "\nhttp://example.test/live/u/p/" + std::to_string(i) + ".ts\n";
    readServedPlaylist(state, std::move(body));
}
BENCHMARK(OverLongLinePlaylist)->Arg(1000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// range(0): 0 sixteen small PNGs that declare 5000x5000, 1 ten answers of 200 MB (no length declared).
void HostilePosters(benchmark::State& state)
{
    LoopbackServer server;
    std::string body;
    if (state.range(0) == 0) {
        // A real 5000x5000 grey PNG is a few kilobytes; its header is what matters here.
        QImage grey(5000, 5000, QImage::Format_Grayscale8);
        grey.fill(128);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        grey.save(&buffer, "PNG");
        body = png.toStdString();
    } else {
        body = "\x89PNG\r\n\x1a\n" + std::string(1 << 20, '\0');
    }
    const int count = state.range(0) == 0 ? 16 : 10;
    for (int i = 0; i < count; ++i) {
        Reply reply = Reply::json(body);
        reply.contentType = "image/png";
        if (state.range(0) == 1)
            reply = std::move(reply).endless(); // 200 MB and more, sent without a length
        server.route("GET", "/p" + std::to_string(i) + ".png", reply);
    }
    for (auto _ : state) {
        sendra::ui::ArtworkProvider provider;
        const qint64 before = resetResidentPeak();
        QElapsedTimer took;
        took.start();
        std::vector<std::unique_ptr<QQuickImageResponse>> responses;
        int finished = 0;
        for (int i = 0; i < count; ++i) {
            const QString id =
                QString::fromLatin1(QUrl::toPercentEncoding(server.url("/p" + std::to_string(i) + ".png").toString()));
            responses.emplace_back(provider.requestImageResponse(id, QSize(300, 450)));
            QObject::connect(responses.back().get(), &QQuickImageResponse::finished, [&finished] { ++finished; });
        }
        while (finished < count)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.SetIterationTime(took.elapsed() / 1000.0);
        state.counters["peak_rss_growth_MB"] = double(statusKilobytes("VmHWM:") - before) / 1024.0;
        state.counters["requests"] = double(server.requestCount());
    }
}
BENCHMARK(HostilePosters)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Resume points with one record in ten damaged on disk (the quote closing a title or the closing brace lost), or
// (second argument 1) a hostile text of about the same size made of nothing but starts of records.
QByteArray damagedResumeList(int records, bool startsOnly)
{
    QByteArray text = "[";
    for (int i = 0; i < records; ++i) {
        QByteArray record =
            QStringLiteral(R"({"id":"series:%1","node":{"id":"%1","title":"Capitulo %1, {parte}","groupID":"3",)"
                           R"("groupName":"Drama","kind":"series","fileSuffix":"mkv"},"fraction":0.5,"updatedAt":7})")
                .arg(i)
                .toUtf8();
        if (startsOnly)
            record = QByteArray(record.size() / 4, ' ').replace(' ', "[1,{");
        else if (i % 10 == 3)
            record.remove(record.indexOf("\",\"groupID\""), 1);
        else if (i % 10 == 7)
            record.chop(1);
        text += (i > 0 ? "," : "") + record;
    }
    return text + "]";
}

void DamagedStoredList(benchmark::State& state)
{
    const QByteArray text = damagedResumeList(int(state.range(0)), state.range(1) != 0);
    qsizetype kept = 0;
    for (auto _ : state) {
        kept = sendra::decodeList<sendra::ResumeMarker>(text).value_or(QList<sendra::ResumeMarker>{}).size();
        benchmark::DoNotOptimize(kept);
    }
    state.counters["bytes"] = double(text.size());
    state.counters["kept"] = double(kept);
}
BENCHMARK(DamagedStoredList)
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);

// A films section of range(0) MB read in 64 KiB pieces as the platform road reads it, its keys written plainly
// (range(1) 0) or with escapes (1): the peak resident growth against the body's size. The body is made before the
// peak is reset, so only the reading side counts.
void PreparedSection(benchmark::State& state)
{
    const qint64 size = state.range(0) << 20;
    const bool escaped = state.range(1) == 1;
    QByteArray body = escaped ? R"({"\u0076ersion":7,"\u0069tems":[)" : R"({"version":7,"items":[)";
    body.reserve(size + 256);
    qint64 count = 0;
    for (; body.size() < size; ++count) {
        if (count)
            body += ',';
        body += QStringLiteral(R"({"id":"f%1","name":"Película %1","categoryId":"%2",)"
                               R"("category":"Categoría %2","image":"https://img.example/p/%1.jpg",)"
                               R"("extension":"mkv"})")
                    .arg(count)
                    .arg(count % 97)
                    .toUtf8();
    }
    body += "]}";
    sendra::platform::CatalogIdentity identity;
    identity.version = 7;
    identity.counts = {0, count, 0};
    const QUrl document(QStringLiteral("https://catalog.example/api/catalog/acme/movies"));
    for (auto _ : state) {
        const qint64 before = resetResidentPeak();
        QElapsedTimer took;
        took.start();
        qint64 entries = 0;
        {
            sendra::platform::SectionReader reader(identity, sendra::SignalKind::cinema, document);
            for (qsizetype at = 0; at < body.size(); at += 64 * 1024)
                reader.push(body.sliced(at, std::min<qsizetype>(64 * 1024, body.size() - at)), body.size());
            entries = reader.finish().size();
        }
        state.SetIterationTime(took.elapsed() / 1000.0);
        const double growth = double(statusKilobytes("VmHWM:") - before) / 1024.0;
        state.counters["entries"] = double(entries);
        state.counters["peak_rss_growth_MB"] = growth;
        state.counters["peak_per_body"] = growth / double(size >> 20);
    }
}
BENCHMARK(PreparedSection)
    ->Args({200, 0})
    ->Args({200, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The hostile picture host, run in a child process (this program with --hostile-picture-host) so that what it
// holds never counts as the provider's memory. It prints its port and serves until its input closes.
int serveHostilePictures()
{
    using namespace sendra::fakes;
    LoopbackServer server;
    const auto picture = [](QByteArray bytes, const char* type) {
        Reply reply = Reply::text(bytes.toStdString());
        reply.contentType = type;
        return reply;
    };
    // Ten zTXt chunks of 7 MB of text each (libpng inflates at most 8 MB a chunk): 69 KB.
    server.route("GET", "/ztxt.png", picture(pngWithCompressedText(10, 7'000'000), "image/png"));
    server.route("GET", "/wide.png", picture(greyPng(4096, 1), "image/png"));
    // 4096x4096 in one colour with its luminance refinement scan (33 bytes) repeated 1,500 times: 148 KB.
    const Reply scans = picture(jpegRepeatingScan(4096, 4096, 1500, 5), "image/jpeg");
    server.route("GET", "/scans-*", scans);
    // About 1.1 KB, one byte every 50 ms: a minute.
    Reply drip =
        picture(greyPng(40, 40, {pngChunk("tEXt", QByteArray("Comment\0", 8) + QByteArray(1000, 'x'))}), "image/png");
    server.route("GET", "/drip-*", std::move(drip).trickled(std::chrono::milliseconds(50)));
    // 3,400x3,400 pixels of noise at quality 100: about 23 MB.
    Reply big;
    big.sharedBody = std::make_shared<const std::string>(noiseJpeg(3400, 3400, 100, false).toStdString());
    big.contentType = "image/jpeg";
    server.route("GET", "/big-*", big);
    server.route("GET", "/plain-*", picture(greyPng(300, 450), "image/png"));
    std::cout << server.port() << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}

// range(0): the hostile pictures of one kind asked for together, 200 ms before a plain poster:
// 0 a PNG with compressed text, 1 a 4096x1 PNG, 2 two progressive JPEGs repeating a scan, 3 four posters sent a byte
// at a time, 4 sixty JPEGs of 23 MB. Counters: the plain poster's wait, and peak resident growth until every
// picture is in (or 120 s).
void HostileArtwork(benchmark::State& state)
{
    QProcess host;
    host.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hostile-picture-host")});
    host.waitForReadyRead(120'000);
    const int port = host.readLine().trimmed().toInt();
    const auto address = [port](const QString& path) {
        return QString::fromLatin1(
            QUrl::toPercentEncoding(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path)));
    };
    static int run = 0;
    QStringList hostile;
    switch (state.range(0)) {
    case 0:
        hostile << QStringLiteral("/ztxt.png");
        break;
    case 1:
        hostile << QStringLiteral("/wide.png");
        break;
    case 2:
        hostile << QStringLiteral("/scans-1.jpeg") << QStringLiteral("/scans-2.jpeg");
        break;
    case 3:
        for (int i = 0; i < 4; ++i)
            hostile << QStringLiteral("/drip-%1.png").arg(i);
        break;
    default:
        for (int i = 0; i < 60; ++i)
            hostile << QStringLiteral("/big-%1.jpeg").arg(i);
    }
    for (auto _ : state) {
        sendra::ui::ArtworkProvider provider;
        const qint64 before = resetResidentPeak();
        QElapsedTimer took;
        took.start();
        std::vector<std::unique_ptr<QQuickImageResponse>> responses;
        int finished = 0;
        for (const QString& path : std::as_const(hostile)) {
            responses.emplace_back(provider.requestImageResponse(address(path), QSize(300, 450)));
            QObject::connect(responses.back().get(), &QQuickImageResponse::finished, responses.back().get(),
                             [&finished] { ++finished; });
        }
        QElapsedTimer meanwhile;
        meanwhile.start();
        while (meanwhile.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        qint64 plainAfter = -1;
        QElapsedTimer plainTook;
        plainTook.start();
        std::unique_ptr<QQuickImageResponse> plain(
            provider.requestImageResponse(address(QStringLiteral("/plain-%1.png").arg(run++)), QSize(300, 450)));
        QObject::connect(plain.get(), &QQuickImageResponse::finished, plain.get(),
                         [&] { plainAfter = plainTook.elapsed(); });
        while ((finished < hostile.size() || plainAfter < 0) && took.elapsed() < 120'000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.SetIterationTime(took.elapsed() / 1000.0);
        state.counters["plain_ms"] = double(plainAfter);
        state.counters["finished"] = double(finished);
        state.counters["peak_rss_growth_MB"] = double(statusKilobytes("VmHWM:") - before) / 1024.0;
        responses.clear();
    }
    host.closeWriteChannel();
    host.waitForFinished(10'000);
}
BENCHMARK(HostileArtwork)->DenseRange(0, 4)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The provider's network side, and its disk cache, live as long as the thread that asks: one cache for the run.
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    if (argc > 1 && std::strcmp(argv[1], "--hostile-picture-host") == 0) {
        QGuiApplication application(argc, argv);
        return serveHostilePictures();
    }
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
