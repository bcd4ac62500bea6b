#include "fakes/HostilePictures.h"
#include "fakes/LoopbackServer.h"
#include "fakes/ResidentMemory.h"

#include "UI/ArtworkProvider.h"
#include "UI/DecodeQueue.h"
#include "UI/PictureHeader.h"

#include "State/ReleaseOnWorker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QQuickImageResponse>
#include <QQuickTextureFactory>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace sendra::fakes;

namespace {

QStringList warnings;
QMutex warningsMutex;
QtMessageHandler previousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg) {
        QMutexLocker lock(&warningsMutex);
        warnings << message;
    }
    previousHandler(type, context, message);
}

// One asked picture: when it arrived, counted from the request, and what it was.
struct Asked {
    std::unique_ptr<QQuickImageResponse> response;
    QElapsedTimer since;
    qint64 arrivedAfter = -1;
    QSize size;
    qsizetype textKeys = 0;
};

std::unique_ptr<Asked> ask(sendra::ui::ArtworkProvider& provider, const LoopbackServer& host, const std::string& path)
{
    auto asked = std::make_unique<Asked>();
    asked->since.start();
    asked->response.reset(provider.requestImageResponse(
        QString::fromLatin1(QUrl::toPercentEncoding(host.url(path).toString())), QSize(300, 450)));
    // Delivered from a decoding thread: read it in this one, as the engine does.
    QObject::connect(asked->response.get(), &QQuickImageResponse::finished, asked->response.get(), [raw = asked.get()] {
        raw->arrivedAfter = raw->since.elapsed();
        std::unique_ptr<QQuickTextureFactory> texture(raw->response->textureFactory());
        const QImage image = texture->image();
        raw->size = image.size();
        raw->textKeys = image.textKeys().size();
        // Let the picture go, as the engine does once it is drawn: only what the provider holds counts.
        raw->response.release()->deleteLater();
    });
    return asked;
}

Reply picture(const QByteArray& bytes, const char* type)
{
    Reply reply = Reply::text(bytes.toStdString());
    reply.contentType = type;
    return reply;
}

} // namespace

// Hostile picture hosts, through the real provider over loopback: a PNG whose compressed text inflates to 70 MB, a
// 4096x1 PNG drawn on a 300x450 tile, two progressive JPEGs repeating one scan 2,000 times (a minute of decoding
// each), four posters sent a byte at a time, and 24 JPEGs of 23 MB asked at once. Each stays below 100 MB of
// resident memory, a plain poster asked meanwhile arrives (within seconds, where it waited a minute behind the
// JPEGs and the dripping posters), the dripping posters end at their deadline, and no Qt warning is printed, also
// when transfers read from the disk cache are dropped as they start. Servers that hold their answers give up their
// places after a second.
TEST(HostileArtwork, hostilePicturesStayBoundedWhilePlainPostersArrive)
{
    // As the application does from its start: otherwise glibc keeps the freed bodies of the big pictures in its
    // arenas, and the peak measured is the allocator's, not what the fetcher holds.
    sendra::mapLargeBlocksApart();
    LoopbackServer host;
    host.route("GET", "/ztxt.png", picture(pngWithCompressedText(10, 7'000'000), "image/png"));
    host.route("GET", "/wide.png", picture(greyPng(4096, 1), "image/png"));
    host.route("GET", "/scans-*", picture(jpegRepeatingScan(4096, 4096, 2000, 5), "image/jpeg"));
    host.route(
        "GET", "/drip-*",
        picture(greyPng(40, 40, {pngChunk("tEXt", QByteArray("Comment\0", 8) + QByteArray(600, 'x'))}), "image/png")
            .trickled(std::chrono::milliseconds(50)));
    Reply big;
    big.sharedBody = std::make_shared<const std::string>(noiseJpeg(3400, 3400, 100, false).toStdString());
    big.contentType = "image/jpeg";
    host.route("GET", "/big-*", big);
    host.route("GET", "/plain-*", picture(greyPng(300, 450), "image/png"));
    host.route("GET", "/held-*", picture(greyPng(30, 45), "image/png").held());

    warnings.clear();
    previousHandler = qInstallMessageHandler(collectWarnings);
    sendra::ui::ArtworkProvider provider(std::chrono::seconds(20), std::chrono::seconds(5));

    struct Case {
        const char* name;
        std::vector<std::string> paths;
    };
    std::vector<Case> cases{{"compressed text", {"/ztxt.png"}},
                            {"extreme proportions", {"/wide.png"}},
                            {"repeated scans", {"/scans-1.jpeg", "/scans-2.jpeg"}},
                            {"dripping", {"/drip-1.png", "/drip-2.png", "/drip-3.png", "/drip-4.png"}},
                            {"queue of big pictures", {}}};
    for (int i = 0; i < 24; ++i)
        cases.back().paths.push_back("/big-" + std::to_string(i) + ".jpeg");

    int plainNumber = 0;
    for (const Case& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        const qint64 before = resetResidentPeak();
        std::vector<std::unique_ptr<Asked>> asked;
        for (const std::string& path : hostile.paths)
            asked.push_back(ask(provider, host, path));
        QTest::qWait(200);
        const auto plain = ask(provider, host, "/plain-" + std::to_string(plainNumber++) + ".png");
        // Seconds where it waited a minute; generous for a loaded machine.
        EXPECT_TRUE(QTest::qWaitFor([&] { return plain->arrivedAfter >= 0; }, 15'000));
        EXPECT_EQ(plain->size, QSize(300, 450));
        // Everything asked ends too: the big pictures are decoded one at a time, which a loaded machine (a whole
        // suite running beside it) can stretch well past their quiet 10 seconds.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                for (const auto& one : asked)
                    if (one->arrivedAfter < 0)
                        return false;
                return true;
            },
            90'000));
        EXPECT_LT(statusKilobytes("VmHWM:") - before, 100 * 1024);

        for (const auto& one : asked) {
            if (hostile.paths.front() == "/ztxt.png") {
                EXPECT_EQ(one->size, QSize(300, 450)); // the picture is fine: only its text is dropped
                EXPECT_TRUE(one->textKeys == 0);
            } else if (hostile.paths.front() == "/wide.png" || hostile.paths.front().starts_with("/big-")) {
                EXPECT_EQ(one->size, QSize(300, 450));
            } else {
                EXPECT_LE(one->size.width(), 1); // refused, or ended at the deadline: the placeholder shows
            }
        }
    }

    // A picture in the disk cache whose transfer starts and is dropped in one turn of the event loop (tiles come
    // and go while typing): it ends quietly.
    auto cached = ask(provider, host, "/plain-cached.png");
    ASSERT_TRUE(QTest::qWaitFor([&] { return cached->arrivedAfter >= 0; }, 15'000));
    std::vector<std::unique_ptr<Asked>> held;
    for (int i = 0; i < 4; ++i)
        held.push_back(ask(provider, host, "/held-" + std::to_string(i) + ".png"));
    auto again = ask(provider, host, "/plain-cached.png");
    held.back()->response->cancel();
    again->response->cancel();
    QTest::qWait(300);
    host.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return held.front()->arrivedAfter >= 0; }, 15'000));
    EXPECT_EQ(held.front()->size, QSize(300, 450));

    // Servers that hold their answers keep one of the four places for a second at most: two more transfers start
    // while the first four are still held (none of them has ended: their deadline is seconds away), and no more.
    host.route("GET", "/slow-*", picture(greyPng(30, 45), "image/png").held());
    std::vector<std::unique_ptr<Asked>> slow;
    for (int i = 0; i < 8; ++i)
        slow.push_back(ask(provider, host, "/slow-" + std::to_string(i) + ".png"));
    const auto anyEnded = [&] {
        for (const auto& one : slow)
            if (one->arrivedAfter >= 0)
                return true;
        return false;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.heldCount() >= 6 || anyEnded(); }, 10'000));
    QTest::qWait(500);
    EXPECT_FALSE(anyEnded());
    EXPECT_EQ(host.heldCount(), 6u);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            host.release();
            for (const auto& one : slow)
                if (one->arrivedAfter < 0)
                    return false;
            return true;
        },
        15'000));

    qInstallMessageHandler(previousHandler);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out += char(value);
    return out;
}

// A JPEG segment: its marker, its length (which counts itself) and its payload.
QByteArray jpegSegment(int marker, const QByteArray& payload)
{
    return bytes({0xff, marker, int(payload.size() + 2) >> 8, int(payload.size() + 2) & 0xff}) + payload;
}

// A frame header declaring `width`x`height`, eight bits, one component.
QByteArray jpegFrame(int marker, int width, int height)
{
    return jpegSegment(marker, bytes({8, height >> 8, height & 0xff, width >> 8, width & 0xff, 1, 1, 0x11, 0}));
}

} // namespace

// The header readers over odd bytes, without a decoder: PNG text chunks go wherever they are and whatever their
// CRC, and every other byte stays (a chunk cut short or declaring more than there is stays with all that follows,
// for the decoder to refuse); a JPEG's size is found past fill bytes, markers without a length, padding segments
// and entropy-coded data, a cut segment reads as nothing rather than past the end, and scans are counted to one
// past the most allowed.
TEST(HostileArtwork, headersOfOddChunksAndMarkersAreReadWithoutADecoder)
{
    using namespace sendra::fakes;
    using sendra::ui::kMostScans;
    const QByteArray signature("\x89PNG\r\n\x1a\n");
    const QByteArray ihdr = pngChunk("IHDR", bigEndian32(300) + bigEndian32(450) + QByteArray("\x08\0\0\0\0", 5));
    const QByteArray idat = pngChunk("IDAT", "pixels");
    const QByteArray iend = pngChunk("IEND", {});
    const QByteArray text = pngChunk("tEXt", QByteArray("Comment\0hello", 13));
    const QByteArray ztxt = pngChunk("zTXt", QByteArray("Comment\0\0", 9) + qCompress("hello").mid(4));
    const QByteArray itxt = pngChunk("iTXt", QByteArray("Comment\0\0\0\0\0hello", 17));
    QByteArray badCrc = text;
    badCrc[badCrc.size() - 1] = char(badCrc.back() ^ 0x5a);
    const QByteArray pastTheEnd = bigEndian32(0xffffffffu) + "tEXt" + "short";

    struct PngCase {
        const char* name;
        QByteArray png;
        QByteArray stripped;
    };
    const std::vector<PngCase> pngs{
        {"text before the pixels", signature + ihdr + text + ztxt + idat + iend, signature + ihdr + idat + iend},
        {"text after the pixels", signature + ihdr + idat + itxt + ztxt + iend, signature + ihdr + idat + iend},
        {"text between pixel chunks", signature + ihdr + idat + text + idat + iend,
         signature + ihdr + idat + idat + iend},
        {"a text chunk with a wrong CRC", signature + ihdr + badCrc + idat + iend, signature + ihdr + idat + iend},
        {"a zero-length text chunk", signature + ihdr + pngChunk("tEXt", {}) + idat + iend,
         signature + ihdr + idat + iend},
        {"zero-length chunks of other types stay", signature + ihdr + pngChunk("sRGB", {}) + idat + iend,
         signature + ihdr + pngChunk("sRGB", {}) + idat + iend},
        {"a type differing only in case stays", signature + ihdr + pngChunk("tEXT", "x") + idat + iend,
         signature + ihdr + pngChunk("tEXT", "x") + idat + iend},
        {"a kept chunk holding \"IEND\" where it moves over its own type",
         signature + ihdr + pngChunk("tEXt", "a") + pngChunk("abCD", "012345678IENDxx") + text + idat + iend,
         signature + ihdr + pngChunk("abCD", "012345678IENDxx") + idat + iend},
        {"what follows the end stays", signature + ihdr + text + idat + iend + text + "tail",
         signature + ihdr + idat + iend + text + "tail"},
        {"a truncated text chunk stays", signature + ihdr + text + idat + text.chopped(3),
         signature + ihdr + idat + text.chopped(3)},
        {"a chunk length past the end stays with what follows", signature + ihdr + ztxt + pastTheEnd + text,
         signature + ihdr + pastTheEnd + text},
        {"fewer bytes than a chunk after the signature", signature + "0123456789a", signature + "0123456789a"},
        {"the signature alone", signature, signature},
        {"nothing", {}, {}},
    };
    for (const PngCase& png : pngs) {
        SCOPED_TRACE(png.name);
        EXPECT_EQ(sendra::ui::withoutPngText(png.png).toHex(' ').toStdString(), png.stripped.toHex(' ').toStdString());
    }

    const QByteArray soi = bytes({0xff, 0xd8});
    const QByteArray eoi = bytes({0xff, 0xd9});
    const QByteArray app0 = jpegSegment(0xe0, QByteArray("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
    const QByteArray sos = jpegSegment(0xda, bytes({1, 1, 0, 0, 0x3f, 0}));
    // Entropy-coded data holding a stuffed 0xff and restarts, none of them a marker with a length.
    const QByteArray scan = sos + bytes({0x12, 0xff, 0x00, 0x34, 0xff, 0xd0, 0x56, 0xff, 0xd7, 0x78});
    const QByteArray dht = jpegSegment(0xc4, bytes({0x7f, 0xff, 0x7f, 0xff, 0, 0, 0, 0}));

    struct JpegCase {
        const char* name;
        QByteArray jpeg;
        qint64 pixels;
        int scans;
    };
    QByteArray manyScans = soi + jpegFrame(0xc2, 64, 64);
    for (int i = 0; i < kMostScans + 20; ++i)
        manyScans += scan;
    const std::vector<JpegCase> jpegs{
        {"plain", soi + app0 + jpegFrame(0xc0, 300, 450) + scan + eoi, 300 * 450, 1},
        {"fill bytes before markers",
         soi + bytes({0xff, 0xff, 0xff}) + app0 + bytes({0xff, 0xff}) + jpegFrame(0xc0, 300, 450) + scan + eoi,
         300 * 450, 1},
        {"markers without a length", soi + bytes({0xff, 0x01, 0xff, 0xd3, 0xff, 0xd8}) + jpegFrame(0xc1, 20, 10) + eoi,
         200, 0},
        {"tables that are no frame",
         soi + dht + jpegSegment(0xc8, bytes({8, 0x7f, 0xff, 0x7f, 0xff})) +
             jpegSegment(0xcc, bytes({8, 0x7f, 0xff, 0x7f, 0xff})) + scan + eoi,
         -1, 1},
        {"frame found late, after scans", soi + app0 + app0 + scan + dht + scan + jpegFrame(0xc2, 4096, 4096) + eoi,
         4096LL * 4096, 2},
        {"the last frame counts", soi + jpegFrame(0xc0, 30, 30) + jpegFrame(0xcf, 5000, 6000) + eoi, 30'000'000, 0},
        {"nothing after the end counts",
         soi + jpegFrame(0xc0, 30, 30) + scan + eoi + jpegFrame(0xc0, 9000, 9000) + scan, 900, 1},
        {"a zero-length segment", soi + bytes({0xff, 0xe1, 0, 0}) + jpegFrame(0xc0, 7, 3) + eoi, 21, 0},
        {"a frame cut inside its size", soi + jpegFrame(0xc0, 300, 450).first(8), -1, 0},
        {"a segment declaring more than there is", soi + jpegFrame(0xc0, 30, 20) + bytes({0xff, 0xe2, 0xff, 0xff, 1}),
         600, 0},
        {"a marker cut before its length", soi + jpegFrame(0xc0, 30, 20) + bytes({0xff, 0xc0, 0x00}), 600, 0},
        {"scans past the most allowed", manyScans + eoi, 64 * 64, kMostScans + 1},
        {"the signature alone", soi, -1, 0},
    };
    for (const JpegCase& jpeg : jpegs) {
        SCOPED_TRACE(jpeg.name);
        const sendra::ui::PictureHeader header = sendra::ui::readPictureHeader(jpeg.jpeg, "jpeg");
        EXPECT_EQ(header.pixels, jpeg.pixels);
        EXPECT_EQ(header.scans, jpeg.scans);
    }

    EXPECT_EQ(sendra::ui::readPictureHeader(greyPng(5000, 5000), "png").pixels, 25'000'000);
    EXPECT_EQ(sendra::ui::readPictureHeader(signature + ihdr.first(12), "png").pixels, -1);
    const QByteArray vast = pngChunk("IHDR", bigEndian32(0xe1e1e1e1u) + bigEndian32(0xe1e1e1e1u) + "\x08");
    EXPECT_GT(sendra::ui::readPictureHeader(signature + vast, "png").pixels, sendra::ui::kPixelBudget);
    EXPECT_EQ(sendra::ui::readPictureHeader(QByteArray("GIF89a\x10\x27\x10\x27", 10), "gif").pixels, 100'000'000);
    EXPECT_EQ(sendra::ui::readPictureHeader(QByteArray("GIF89a\x10\x27\x10", 9), "gif").pixels, -1);

    struct Sniffed {
        QByteArray head;
        QByteArray format;
    };
    const std::vector<Sniffed> heads{{signature + "rest", "png"},
                                     {bytes({0xff, 0xd8, 0xff, 0xe0}), "jpeg"},
                                     {"GIF87a", "gif"},
                                     {"GIF89a", "gif"},
                                     {"BM", "bmp"},
                                     {QByteArray("RIFF\0\0\0\0WEBPVP8 ", 16), "webp"},
                                     {QByteArray("RIFF\0\0\0\0WAVE", 12), {}},
                                     {QByteArray("RIFF\0\0\0\0WEB", 11), {}},
                                     {bytes({0xff, 0xd8}), {}},
                                     {"\x89PNG\r\n", {}},
                                     {"<svg xmlns=\"http://www.w3.org/2000/svg\">", {}},
                                     {{}, {}}};
    for (const Sniffed& head : heads)
        EXPECT_EQ(sendra::ui::pictureFormat(head.head).toStdString(), head.format.toStdString())
            << head.head.toHex(' ').toStdString();
}
