// The private road's sections and the playlist road are read while their bodies arrive. However a body is cut,
// the entries must be exactly those of the whole body, and a section that runs past its manifest fails at once.
#include "Networking/PanelAccess.h"
#include "Networking/PlatformRequests.h"
#include "NetKit/Workers.h"
#include "NetKit/WorkersTesting.h"
#include "Networking/Playlist/PlaylistIngestor.h"
#include "Networking/PreparedCatalogReader.h"
#include "Networking/XtreamTransport.h"

#include "AwaitOutcome.h"
#include "catalog-gen/CatalogGenerator.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakePlaylistHost.h"
#include "CpuClock.h"
#include "fakes/FakeXtreamPanel.h"

#include <QElapsedTimer>
#include <QThread>
#include <QJsonDocument>
#include <QNetworkAccessManager>

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace sendra;
using namespace std::chrono_literals;
using sendra::fakes::FakePlatform;
using sendra::fakes::Reply;
using sendra::testkit::awaitOutcome;

namespace {

const QUrl document(QStringLiteral("https://catalog.example/api/catalog/acme/movies?serverSlot=1"));

// Films whose texts hold what a cut could be fooled by: "},{" and "}]" inside strings, escapes, nested lists of
// objects, repeated keys (the first one counts), numbers for ids and categories, relative and odd pictures.
QJsonArray trickyFilms(int count)
{
    QJsonArray films;
    for (int i = 0; i < count; ++i) {
        QJsonObject item{{"id", i % 3 == 0 ? QJsonValue(i) : QJsonValue(QStringLiteral("f%1").arg(i))},
                         {"name", QStringLiteral("Film \"%1\" },{ }] \\ ñ").arg(i)},
                         {"categoryId", i % 4 == 0 ? QJsonValue(i % 7) : QJsonValue(QStringLiteral("c%1").arg(i % 5))},
                         {"extension", i % 2 ? "mkv" : ""},
                         {"tags", QJsonArray{QJsonObject{{"a", 1}}, QJsonObject{{"b", "},{"}}}}};
        if (i % 5 != 0)
            item.insert("category", i % 6 == 0 ? QString() : QStringLiteral("Cat %1").arg(i % 5));
        if (i % 3 == 1)
            item.insert("image", QStringLiteral("https://img.example/p/%1.jpg").arg(i));
        else if (i % 3 == 2)
            item.insert("image", QStringLiteral("/img/%1 ñ.png").arg(i));
        if (i % 4 == 1)
            item.insert("content_type", i % 8 == 1 ? "" : "generic");
        films.append(item);
    }
    return films;
}

// `body` handed over in pieces of 1 to `largest` bytes, in a sequence fixed by `seed`.
void inPieces(const QByteArray& body, int largest, unsigned seed, const std::function<void(QByteArrayView)>& take)
{
    std::mt19937 random(seed);
    for (qsizetype at = 0; at < body.size();) {
        const qsizetype piece = std::min<qsizetype>(1 + qsizetype(random() % unsigned(largest)), body.size() - at);
        take(QByteArrayView(body).sliced(at, piece));
        at += piece;
    }
}

// The entries of a whole section as the document reader gives them, or nothing when it refuses the section.
std::optional<QList<MediaNode>> wholeSection(const QByteArray& body, const platform::CatalogIdentity& identity)
{
    try {
        return platform::readSection(platform::parseObject(body).object, identity, SignalKind::cinema, document);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<QList<MediaNode>> streamedSection(const QByteArray& body, const platform::CatalogIdentity& identity,
                                                int largest, unsigned seed)
{
    try {
        platform::SectionReader reader(identity, SignalKind::cinema, document);
        inPieces(body, largest, seed, [&](QByteArrayView piece) { reader.push(piece.toByteArray(), body.size()); });
        return reader.finish().toList();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

TEST(StreamedReaders, PiecesOfAnySizeGiveTheEntriesOfTheWholeBody)
{
    // Sections: the list before or after the version, in the protected build, and broken ones.
    const QJsonArray films = trickyFilms(2500);
    platform::CatalogIdentity identity;
    identity.version = 7;
    identity.counts = {0, films.size(), 0};
    platform::CatalogIdentity protectedIdentity = identity;
    protectedIdentity.protectedBuild = true;
    const QByteArray list = QJsonDocument(films).toJson(QJsonDocument::Compact);
    QJsonArray repeated = films;
    repeated.replace(2000, films[1500]);
    struct Case { const char* what; QByteArray body; platform::CatalogIdentity identity; bool reads; };
    const QList<Case> sections{
        {"version first", "\xEF\xBB\xBF {\"version\": 7, \"note\": {\"items\": [1]}, \"items\" : " + list + " }", identity, true},
        {"version last", "{\"catalogMode\":\"protected\",\"items\":" + list + ",\"extra\":[{},{}],\"version\":\"7\"}",
         protectedIdentity, true},
        {"a repeated list", "{\"items\":" + list + ",\"version\":7,\"items\":[]}", identity, true},
        {"keys with escapes", "{\"\\u0076ersion\":7,\"\\u0069tems\":" + list + "}", identity, true},
        {"pretty", QJsonDocument(QJsonObject{{"version", 7}, {"items", films}}).toJson(QJsonDocument::Indented), identity, true},
        {"wrong version", "{\"items\":" + list + ",\"version\":8}", identity, false},
        {"no protected mode", "{\"items\":" + list + ",\"version\":7}", protectedIdentity, false},
        {"a repeated id", "{\"version\":7,\"items\":" + QJsonDocument(repeated).toJson(QJsonDocument::Compact) + "}", identity, false},
        {"one entry too many", "{\"version\":7,\"items\":" + list.chopped(1) + ",{\"id\":\"x\"}]}", identity, false},
        {"cut short", "{\"version\":7,\"items\":" + list.chopped(200), identity, false},
        {"not a list", "{\"version\":7,\"items\":{\"a\":1}}", identity, false},
    };
    for (const Case& section : sections) {
        const auto whole = wholeSection(section.body, section.identity);
        ASSERT_EQ(whole.has_value(), section.reads) << section.what;
        EXPECT_EQ(streamedSection(section.body, section.identity, int(section.body.size()), 0), whole) << section.what;
        for (const int largest : {1, 700, 70000}) {
            if (largest == 1 && section.body.size() > 40000 && !section.reads)
                continue;
            EXPECT_EQ(streamedSection(section.body, section.identity, largest, unsigned(largest)), whole)
                << section.what << ", pieces up to " << largest << " bytes";
        }
    }

    // Playlists: every kind of line end, a byte-order mark, information lines waiting over pieces.
    const testkit::CatalogGenerator generator;
    testkit::PlaylistShape shape;
    shape.crlf = true;
    shape.bom = true;
    const QByteArray generated = generator.playlist(4000, shape);
    const QByteArray odd = "#EXTM3U\r#EXTINF:-1 tvg-id=\"a\" group-title=\"Series, x\",Uno\xC2\x85"
                           "no address\x0B#comment\x0C  http://cdn.test/1  \xE2\x80\xA8#EXTINF:-1,Dos\xE2\x80\xA9"
                           "\xE2\x80\x83 http://cdn.test/pel\xC3\xAD" "cula/2 \n\n#EXTINF:-1,Tres";
    for (const QByteArray& text : {generated, odd, odd + "\r\nhttp://cdn.test/3"}) {
        const QList<MediaNode> whole = PlaylistIngestor::parse(text);
        ASSERT_FALSE(whole.isEmpty());
        for (const int largest : {1, 3, 500, 100000}) {
            PlaylistReader reader(QUrl(), Utf8Check::strict);
            inPieces(text, largest, unsigned(text.size() + largest), [&](QByteArrayView piece) { reader.push(piece); });
            EXPECT_EQ(reader.finish().toList(), whole) << "pieces up to " << largest << " bytes";
        }
    }
    // Text that is not UTF-8 is refused wherever the fault lies, a sequence cut by the end included.
    for (const QByteArray& broken : {generated + "#EXTINF:-1,Pel\xEDula\nhttp://cdn.test/9\n", generated + "\xC3"}) {
        PlaylistReader reader(QUrl(), Utf8Check::strict);
        EXPECT_THROW(
            {
                inPieces(broken, 5000, 1, [&](QByteArrayView piece) { reader.push(piece); });
                reader.finish();
            },
            CommandFailure);
    }
}

TEST(StreamedReaders, ServedBodiesAreReadAsTheyArriveAndEndlessBadOnesFailAtOnce)
{
    QNetworkAccessManager manager;
    const netkit::HttpSession session(&manager);
    FakePlatform platform;
    const std::string origin = "https://panel.example:8443";
    FakePlatform::Build build;
    build.version = 7;
    build.normal.movies = trickyFilms(3000);
    build.normal.tv = trickyFilms(2);
    platform.publish("acme", 2, origin, build);
    PanelAccess access(session, {platform.baseUrl(), platform.baseUrl()}, PanelTimeouts{2s, 2s, 2s, 5s, 2s});
    const auto load = [&] { return awaitOutcome(access.preparedCatalog("acme", 2, QUrl(QString::fromStdString(origin)), false, {})); };

    platform::CatalogIdentity identity;
    identity.version = 7;
    identity.counts = {2, 3000, 0};
    const QUrl movies = platform.url("/api/catalog/acme/movies");
    const QByteArray served =
        QJsonDocument(QJsonObject{{"version", 7}, {"items", build.normal.movies}}).toJson(QJsonDocument::Compact);
    const QList<MediaNode> expected = platform::readSection(platform::parseObject(served).object, identity,
                                                            SignalKind::cinema, movies);
    const auto loaded = load();
    ASSERT_TRUE(loaded.value);
    ASSERT_EQ(loaded.value->nodes.size(), 3002);
    EXPECT_EQ(loaded.value->nodes.toList().mid(2), expected);

    // A section that never ends, with entries past the manifest's count: refused as soon as they are read, not
    // after a gigabyte, its keys written plainly or with escapes.
    QElapsedTimer timer;
    for (const std::string head : {R"({"version":7,"items":[)", R"({"\u0069tems":[)"}) {
        std::string endless = head;
        for (int i = 0; endless.size() < 300000; ++i)
            endless += R"({"id":"e)" + std::to_string(i) + R"(","name":"Sin fin"},)";
        platform.route("GET", "/api/catalog/acme/movies", Reply::json(endless).endless());
        timer.start();
        const auto refused = load();
        EXPECT_EQ(refused.commandError(), CommandError::invalidResponse) << head;
        EXPECT_LT(timer.elapsed(), 5000) << head;
    }

    // A panel's stream list that is bad early on and never ends (broken inside the list, or a page): refused as
    // soon as it is known bad, its transfer stopped, not after a gigabyte.
    fakes::FakeXtreamPanel panel;
    const XtreamTransport transport(session);
    for (const std::string& hostile : {std::string(R"([{"stream_id":1,"name":"Canal"}}])"), std::string("<html>No</html>")}) {
        panel.answer("get_live_streams", Reply::json(hostile).endless());
        timer.restart();
        const auto bad = awaitOutcome(transport.universe(ProviderSession::create(panel.baseUrl(), "demo", "s3cret"), {}));
        EXPECT_TRUE(bad.threw<netkit::JsonError>()) << hostile;
        EXPECT_LT(timer.elapsed(), 5000) << hostile;
    }

    // A playlist served as it is read.
    fakes::FakePlaylistHost host;
    const QByteArray playlist = testkit::CatalogGenerator().playlist(3000);
    const QUrl address = host.publish("/lista.m3u", playlist.toStdString());
    const auto downloaded = awaitOutcome(PlaylistIngestor(session).download(address, {}));
    ASSERT_TRUE(downloaded.value);
    EXPECT_EQ(downloaded.value->toList(), PlaylistIngestor::parse(playlist, address));
}

namespace {

// Everything a reader gives: the entries and which group each one is in, by index.
struct ReadPlaylist {
    QList<MediaNode> nodes;
    std::vector<uint32_t> groups;
    qsizetype groupCount = 0;
    bool operator==(const ReadPlaylist&) const = default;
};

// Entries spread among many groups, so that every chunk meets groups the chunks before it met: case and accent
// variants of one title (composed and decomposed), titles with a series or film keyword beside addresses that carry
// another one, an empty title and none at all.
QByteArray manyGroupsPlaylist(int entries, int groups)
{
    static const char* const variants[] = {
        "Películas",    "PELÍCULAS",    "películas",  "Peliculas",    "Peli\u0301culas",
        "Series de TV", "SERIES DE TV", "Movie Club", "vod Estrenos", ""};
    static const char* const paths[] = {"live/%1.ts", "movie/%1.mp4", "series/%1.mkv", "canal/%1"};
    QByteArray text = "#EXTM3U\n";
    for (int i = 0; i < entries; ++i) {
        const int drawn = int((unsigned(i) * 2654435761U) >> 7);
        text += "#EXTINF:-1 tvg-id=\"" + QByteArray::number(i) + "\"";
        if (i % 17 != 5) {
            const QByteArray group =
                i % 3 == 0 ? QByteArray(variants[drawn % 10]) : "Canal " + QByteArray::number(drawn % groups) + " ñ";
            text += " group-title=\"" + group + "\"";
        }
        text += ",Entrada " + QByteArray::number(i) + "\nhttp://cdn.test/" +
                QString::fromLatin1(paths[drawn % 4]).arg(i).toUtf8() + "\n";
    }
    return text;
}

ReadPlaylist described(const NodeTable& table)
{
    ReadPlaylist read{table.toList(), {}, table.groupCount()};
    for (qsizetype i = 0; i < table.size(); ++i)
        read.groups.push_back(table.group(i));
    return read;
}

} // namespace

// Read on several workers, a playlist is cut into chunks at line ends: an information line left waiting at the end of
// one chunk must take the address line that opens a later one, and entries, groups (their order too) and ids must be
// exactly those of reading it in one go, wherever the cuts fall.
TEST(StreamedReaders, PlaylistPiecesReadOnSeveralWorkersGiveTheOneThreadReading)
{
    const testkit::CatalogGenerator generator;
    testkit::PlaylistShape windows;
    windows.crlf = true;
    windows.bom = true;
    const QByteArray scattered = generator.playlist(1500); // every entry's group drawn anew
    const QByteArray crlf = generator.playlist(700, windows);
    // Information lines that wait over lines that are not addresses, over comments and over the longer line ends;
    // one with no address at all, and a last record cut in its address line.
    const QByteArray odd =
        "\xEF\xBB\xBF#EXTM3U\n#EXTINF:-1 group-title=\"B\",Uno\nno address\n#EXTVLCOPT:x\n\n"
        "  http://cdn.test/1  \xC2\x85#EXTINF:-1 group-title=\"A\",Dos\xE2\x80\xA8"
        "http://cdn.test/2\r\n#EXTINF:-1,Sin\n#EXTINF:-1 group-title=\"B\",Tres\x0B\x0C"
        "file:///etc/passwd\rhttp://cdn.test/3\nhttp://cdn.test/otra\n#EXTINF:-1 group-title=\"A\",Cuatro\n"
        "http://cdn.test/4";
    const QByteArray manyGroups = manyGroupsPlaylist(2000, 300);
    for (const QByteArray& text : {scattered, crlf, odd, scattered + odd, crlf.chopped(9), manyGroups}) {
        const ReadPlaylist whole = described(PlaylistIngestor::parseTable(text));
        ASSERT_FALSE(whole.nodes.isEmpty());
        for (const qsizetype chunkBytes : {1, 40, 300, 4000, 50000}) {
            for (const int largest : {7, 70000}) {
                PlaylistReader reader(QUrl(), Utf8Check::strict, chunkBytes);
                inPieces(text, largest, unsigned(chunkBytes + largest),
                         [&](QByteArrayView piece) { reader.push(piece); });
                EXPECT_EQ(described(reader.finish()), whole)
                    << text.size() << " bytes, chunks of " << chunkBytes << ", arriving in up to " << largest;
            }
        }
    }
    // The groups are made once whatever chunk meets them first, also from texts that are not UTF-8 (two titles that
    // differ only in invalid bytes name one group).
    const QByteArray invalid = manyGroups + "#EXTINF:-1 group-title=\"Canal \xFF\",X\nhttp://cdn.test/x\n" +
                               manyGroups + "#EXTINF:-1 group-title=\"Canal \xFE\",Y\nhttp://cdn.test/y\n";
    const ReadPlaylist whole = described(PlaylistIngestor::parseTable(invalid));
    EXPECT_EQ(whole.groupCount, 300 + 10 + 1 + 1); // "Contenido" for entries without a title; one for both invalid
    for (const qsizetype chunkBytes : {1, 300, 4000}) {
        PlaylistReader reader(QUrl(), Utf8Check::lenient, chunkBytes);
        inPieces(invalid, 900, unsigned(chunkBytes), [&](QByteArrayView piece) { reader.push(piece); });
        EXPECT_EQ(described(reader.finish()), whole) << "chunks of " << chunkBytes;
    }

    // Pieces that each meet hundreds of groups for the first time, whose groups are made by the workers that read
    // them (or, once the room kept for them is full, as a length declared far too short leaves it, by each chunk
    // for itself), and where the chunks are joined when no worker made them.
    const QByteArray thousands = manyGroupsPlaylist(12000, 6000);
    const ReadPlaylist many = described(PlaylistIngestor::parseTable(thousands));
    for (const qsizetype chunkBytes : {150000, 1 << 22}) {
        for (const qint64 declared : {qint64(-1), qint64(9000)}) {
            PlaylistReader reader(QUrl(), Utf8Check::strict, chunkBytes);
            inPieces(thousands, 70000, unsigned(chunkBytes),
                     [&](QByteArrayView piece) { reader.push(piece, declared); });
            EXPECT_EQ(described(reader.finish()), many) << "chunks of " << chunkBytes << ", declared " << declared;
        }
    }

    // With no worker able to start (a thread limit), the reader reads and joins every chunk itself.
    netkit::endIdleThreadsForTests();
    netkit::failThreadStartsForTests(true);
    {
        PlaylistReader alone(QUrl(), Utf8Check::strict, 300);
        inPieces(manyGroups, 900, 300, [&](QByteArrayView piece) { alone.push(piece); });
        EXPECT_EQ(described(alone.finish()), described(PlaylistIngestor::parseTable(manyGroups)));
    }
    netkit::failThreadStartsForTests(false);

    // A fault in any chunk fails the whole reading.
    PlaylistReader reader(QUrl(), Utf8Check::strict, 300);
    EXPECT_THROW(
        {
            inPieces(scattered + "#EXTINF:-1,Pel\xEDula\nhttp://cdn.test/9\n" + scattered, 5000, 1,
                     [&](QByteArrayView piece) { reader.push(piece); });
            reader.finish();
        },
        CommandFailure);
}

// A line of many megabytes (a broken or hostile playlist) is skipped without being held, however it ends, and the
// entries around it are kept; UTF-8 is still checked inside it.
TEST(StreamedReaders, AnOverLongPlaylistLineIsSkippedAndReadingGoesOn)
{
    const QByteArray longLine = "http://cdn.test/" + QByteArray(17 << 20, 'a');
    for (const QByteArray& end : {QByteArray("\n"), QByteArray("\xE2\x80\xA8"), QByteArray("\r\n")}) {
        const QByteArray text = "#EXTINF:-1,Uno\nhttp://cdn.test/1\n#EXTINF:-1,Largo\n" + longLine + end +
                                "http://cdn.test/2\n#EXTINF:-1,Tres\nhttp://cdn.test/3";
        for (const qsizetype chunkBytes : {0, 1 << 20}) {
            PlaylistReader reader(QUrl(), Utf8Check::strict, chunkBytes);
            inPieces(text, 70000, 3, [&](QByteArrayView piece) { reader.push(piece); });
            const QList<MediaNode> read = reader.finish().toList();
            ASSERT_EQ(read.size(), 3);
            EXPECT_EQ(read[1].title, "Largo");
            EXPECT_EQ(read[1].directURL->text(), "http://cdn.test/2");
            EXPECT_EQ(read, PlaylistIngestor::parse(text)) << "read whole";
        }
    }
    // The whole playlist one line, and one that ends the text.
    PlaylistReader alone(QUrl(), Utf8Check::strict);
    inPieces(longLine, 70000, 4, [&](QByteArrayView piece) { alone.push(piece); });
    EXPECT_TRUE(alone.finish().isEmpty());
    PlaylistReader last(QUrl(), Utf8Check::strict, 1 << 20);
    inPieces("#EXTINF:-1,Uno\nhttp://cdn.test/1\n#EXTINF:-1,Largo\n" + longLine, 70000, 5,
             [&](QByteArrayView piece) { last.push(piece); });
    EXPECT_EQ(last.finish().size(), 1);

    // Inside the part held while the line is judged, and past it.
    for (const qsizetype at : {qsizetype(9) << 20, qsizetype(33) << 19}) {
        QByteArray broken = longLine;
        broken[at] = '\xFF';
        for (const qsizetype chunkBytes : {0, 1 << 20}) {
            PlaylistReader strict(QUrl(), Utf8Check::strict, chunkBytes);
            EXPECT_THROW(
                {
                    inPieces("#EXTINF:-1,Uno\n" + broken + "\nhttp://cdn.test/1\n", 70000, 6,
                             [&](QByteArrayView piece) { strict.push(piece); });
                    strict.finish();
                },
                CommandFailure)
                << at;
        }
    }
}

// Quitting waits for the background pool's workers: a reader dropped or cancelled in the middle of its chunks lets its
// workers go within a line, not once their chunks are read. Counted in CPU time, which a busy machine does not stretch
// as it stretches the wait for a core.
TEST(StreamedReaders, ADroppedOrCancelledPlaylistReaderLetsItsWorkersGoAtOnce)
{
    const QByteArray text = testkit::CatalogGenerator().playlist(200000);
    const qsizetype chunkBytes = text.size() / 2;
    QElapsedTimer timer;
    timer.start();
    double cpu = 1e3 * sendra::testing::cpuSeconds(sendra::testing::CpuOf::Process);
    ASSERT_FALSE(PlaylistIngestor::parseTable(text.first(chunkBytes)).isEmpty());
    const qint64 chunkMs = timer.elapsed();
    const double chunkCpu = 1e3 * sendra::testing::cpuSeconds(sendra::testing::CpuOf::Process) - cpu; // what reading one chunk costs
    for (const bool cancel : {false, true}) {
        netkit::CancelToken token;
        auto reader = std::make_unique<PlaylistReader>(QUrl(), Utf8Check::strict, chunkBytes, token);
        reader->push(text.first(chunkBytes + 1000)); // one chunk, read on a worker
        QThread::msleep(std::max<qint64>(1, chunkMs / 5));
        cpu = 1e3 * sendra::testing::cpuSeconds(sendra::testing::CpuOf::Process);
        if (cancel) {
            token.cancel();
            EXPECT_THROW(reader->finish(), netkit::Cancelled);
        } else {
            reader.reset();
        }
        netkit::backgroundPool().waitUntilIdle();
        const double afterCpu = 1e3 * sendra::testing::cpuSeconds(sendra::testing::CpuOf::Process) - cpu;
        EXPECT_LT(afterCpu, chunkCpu / 2)
            << (cancel ? "cancelled" : "dropped") << "; a chunk costs " << chunkCpu << " ms of CPU";
    }
}
