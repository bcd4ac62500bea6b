#include "NetKit/HttpSession.h"
#include "NetKit/UrlCodec.h"

#include "fakes/Compressed.h"
#include "fakes/LoopbackServer.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <zlib.h>

#include <gtest/gtest.h>

using namespace netkit;
using namespace std::chrono_literals;
using sendra::fakes::compressed;
using sendra::fakes::LoopbackServer;
using sendra::fakes::Reply;

namespace {

struct Outcome
{
    std::optional<HttpResponse> response;
    std::optional<HttpError::Kind> error;
    std::string message;
    bool cancelled = false;
};

QCoro::Task<void> capture(HttpSession session, HttpRequest request, CancelToken token, Outcome* out)
{
    try {
        out->response = co_await session.send(std::move(request), std::move(token));
    } catch (const HttpError& e) {
        out->error = e.kind();
        out->message = e.what();
    } catch (const Cancelled&) {
        out->cancelled = true;
    }
}


Reply encoded(std::string body, const char* coding)
{
    Reply reply = Reply::json(std::move(body));
    reply.contentType = "application/octet-stream"; // the fake must not compress it again
    reply.headers.emplace_back("Content-Encoding", coding);
    return reply;
}

class HttpSessionTest : public ::testing::Test
{
protected:
    QNetworkAccessManager manager;
    HttpSession session{&manager};
    LoopbackServer server;

    HttpRequest get(const std::string& path, std::chrono::milliseconds idle = 2s)
    {
        HttpRequest request;
        request.url = server.url(path);
        request.idleTimeout = idle;
        return request;
    }

    Outcome run(HttpRequest request, CancelToken token = {})
    {
        Outcome out;
        QCoro::waitFor(capture(session, std::move(request), std::move(token), &out));
        return out;
    }
};

} // namespace

TEST_F(HttpSessionTest, EveryStatusIsAnAnswerWithItsBodyAndHeaders)
{
    Reply notFound = Reply::json(R"({"error":"gone"})", 404);
    notFound.headers.emplace_back("X-Trace", "abc");
    server.route("GET", "/missing", notFound);
    server.route("GET", "/broken", Reply::text("down", 503));
    server.route("GET", "/empty", Reply::empty(204));
    server.route("GET", "/ok", Reply::json("[1,2]"));

    const Outcome missing = run(get("/missing"));
    ASSERT_TRUE(missing.response);
    EXPECT_EQ(missing.response->status, 404);
    EXPECT_EQ(missing.response->body, QByteArray(R"({"error":"gone"})"));
    EXPECT_EQ(missing.response->header("x-trace"), QByteArray("abc"));

    const Outcome broken = run(get("/broken"));
    ASSERT_TRUE(broken.response);
    EXPECT_EQ(broken.response->status, 503);
    EXPECT_EQ(broken.response->body, QByteArray("down"));

    const Outcome empty = run(get("/empty"));
    ASSERT_TRUE(empty.response);
    EXPECT_EQ(empty.response->status, 204);
    EXPECT_TRUE(empty.response->body.isEmpty());

    const Outcome ok = run(get("/ok"));
    ASSERT_TRUE(ok.response);
    EXPECT_TRUE(ok.response->isSuccess());
    EXPECT_EQ(ok.response->body, QByteArray("[1,2]"));
}

TEST_F(HttpSessionTest, RedirectsAreFollowedOrReportedAsTheyAre)
{
    server.route("GET", "/from", Reply::redirect(server.url("/to").toString().toStdString()));
    server.route("GET", "/to", Reply::json(R"({"here":true})"));

    const Outcome followed = run(get("/from"));
    ASSERT_TRUE(followed.response);
    EXPECT_EQ(followed.response->status, 200);
    EXPECT_EQ(followed.response->url.path(), QStringLiteral("/to"));

    HttpRequest probe = get("/from");
    probe.redirects = HttpRequest::Redirects::DoNotFollow;
    probe.method = HttpRequest::Method::Head;
    const Outcome kept = run(probe);
    ASSERT_TRUE(kept.response);
    EXPECT_EQ(kept.response->status, 302);
    EXPECT_EQ(kept.response->header("Location"), server.url("/to").toEncoded());
    EXPECT_EQ(server.requestCount("/to"), 1u);
}

TEST_F(HttpSessionTest, IdleTimeOutIsOursAndRestartsOnProgress)
{
    server.route("GET", "/hang", Reply::json("{}").hangingAfterHeaders());
    server.route("GET", "/held", Reply::json("{}").held());
    server.route("GET", "/slow", Reply::json("{}").after(150ms));

    const Outcome hung = run(get("/hang", 300ms));
    EXPECT_EQ(hung.error, HttpError::Kind::TimedOut);
    EXPECT_FALSE(hung.cancelled);

    const Outcome held = run(get("/held", 300ms));
    EXPECT_EQ(held.error, HttpError::Kind::TimedOut);
    server.release();

    const Outcome slow = run(get("/slow", 1s));
    ASSERT_TRUE(slow.response) << "an answer inside the idle time is not a time-out";
    EXPECT_EQ(slow.response->status, 200);
}

TEST_F(HttpSessionTest, OurCancellationIsPostedAndToldApartFromTheSystems)
{
    server.route("GET", "/held", Reply::json("{}").held());

    // Cancelled from inside ordinary code: the waiting coroutine resumes later, from the event loop.
    CancelToken token;
    Outcome ours;
    bool cancelReturned = false;
    bool resumedInsideCancel = false;
    auto task = [](HttpSession s, HttpRequest r, CancelToken t, Outcome* out, bool* returned,
                   bool* inside) -> QCoro::Task<void> {
        co_await capture(s, std::move(r), t, out);
        *inside = !*returned;
    }(session, get("/held", 5s), token, &ours, &cancelReturned, &resumedInsideCancel);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.heldCount() == 1; }, 5000));
    token.cancel();
    cancelReturned = true;
    QCoro::waitFor(task);
    EXPECT_TRUE(ours.cancelled);
    EXPECT_FALSE(ours.error);
    EXPECT_FALSE(resumedInsideCancel);

    // A token cancelled before sending sends nothing.
    const std::size_t before = server.requestCount();
    EXPECT_TRUE(run(get("/held"), token).cancelled);
    EXPECT_EQ(server.requestCount(), before);

    // Aborted by someone else: a cancellation by the system, not ours and not a time-out.
    Outcome system;
    auto other = capture(session, get("/held", 5s), CancelToken(), &system);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.heldCount() == 2; }, 5000));
    for (QNetworkReply* reply : manager.findChildren<QNetworkReply*>())
        if (reply->isRunning())
            reply->abort();
    QCoro::waitFor(other);
    EXPECT_EQ(system.error, HttpError::Kind::CancelledBySystem);
    server.release();
}

TEST_F(HttpSessionTest, SessionGoingAwayMidRequestEndsItAsASystemCancellation)
{
    server.route("GET", "/held", Reply::json("{}").held());
    server.route("GET", "/ok", Reply::json("{}"));
    auto owned = std::make_unique<QNetworkAccessManager>();
    Outcome out;
    auto task = capture(HttpSession(owned.get()), get("/held", 5s), CancelToken(), &out);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.heldCount() == 1; }, 5000));
    owned.reset();
    QCoro::waitFor(task);
    EXPECT_EQ(out.error, HttpError::Kind::CancelledBySystem);
    server.release();

    EXPECT_TRUE(run(get("/ok")).response) << "the process's own session is unaffected";
}

TEST_F(HttpSessionTest, TransportFailuresNeverNameTheAddress)
{
    server.route("GET", "/drop", Reply::json("{}").dropped());
    server.route("GET", "/cut", Reply::json("{}").cutAfterHeaders());

    const Outcome dropped = run(get("/drop?password=s3cret"));
    EXPECT_EQ(dropped.error, HttpError::Kind::Transport);
    const Outcome cut = run(get("/cut"));
    EXPECT_EQ(cut.error, HttpError::Kind::Transport);

    HttpRequest refused;
    {
        LoopbackServer gone;
        refused.url = gone.url("/x?password=s3cret");
    }
    const Outcome nobody = run(refused);
    EXPECT_EQ(nobody.error, HttpError::Kind::Transport);
    for (const Outcome* o : {&dropped, &cut, &nobody}) {
        EXPECT_EQ(o->message.find("127.0.0.1"), std::string::npos) << o->message;
        EXPECT_EQ(o->message.find("s3cret"), std::string::npos) << o->message;
    }
}

TEST_F(HttpSessionTest, QueryValuesHeadersAndBodiesArriveIntact)
{
    server.route("*", "/echo", Reply::json("{}"));
    const QString password = QStringLiteral("a+b&c=d#e%f g/ñ");
    HttpRequest request = get("/echo");
    request.url = withQuery(request.url, {{"username", "José"}, {"password", password}});
    request.cache = HttpRequest::Cache::Fresh;
    ASSERT_TRUE(run(request).response);
    auto seen = server.lastRequest("/echo");
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->queryValue("password"), password.toStdString()) << seen->query;
    EXPECT_EQ(seen->queryValue("username"), std::string("José"));
    EXPECT_EQ(seen->header("Cache-Control"), std::string("no-cache"));

    HttpRequest post = get("/echo");
    post.method = HttpRequest::Method::Post;
    post.cache = HttpRequest::Cache::IgnoreLocal;
    post.headers.append(HttpHeader("content-type", "application/json"));
    post.body = R"({"code":"1234"})";
    ASSERT_TRUE(run(post).response);
    seen = server.lastRequest("/echo");
    EXPECT_EQ(seen->method, "POST");
    EXPECT_EQ(seen->body, R"({"code":"1234"})");
    EXPECT_EQ(seen->header("Content-Type"), std::string("application/json"));
    EXPECT_FALSE(seen->header("Cache-Control")) << "only fresh requests carry Cache-Control";
}

TEST_F(HttpSessionTest, DeadlineSizeLimitAndUndecodableBodiesEndTheRequest)
{
    // A byte every 50 ms never trips a 1 s idle timer; the deadline ends it anyway.
    Reply trickle = Reply::json(std::string(200, 'x')).trickled(50ms);
    trickle.contentType = "application/octet-stream";
    server.route("GET", "/trickle", trickle);
    HttpRequest slow = get("/trickle", 1s);
    slow.deadline = 600ms;
    const Outcome late = run(slow);
    EXPECT_EQ(late.error, HttpError::Kind::TimedOut);

    // A body that never ends is cut once it passes the limit, long before anything like it is held.
    Reply endless = Reply::json(std::string(64 * 1024, 'y')).endless();
    endless.contentType = "application/octet-stream";
    server.route("GET", "/endless", endless);
    HttpRequest flood = get("/endless");
    flood.maxBodyBytes = 1 << 20;
    const Outcome flooded = run(flood);
    EXPECT_EQ(flooded.error, HttpError::Kind::TooLarge);

    // A declared length past the limit, and a body exactly at it.
    server.route("GET", "/big", Reply::json(std::string(4096, ' ')));
    HttpRequest big = get("/big");
    big.maxBodyBytes = 4095;
    EXPECT_EQ(run(big).error, HttpError::Kind::TooLarge);
    big.maxBodyBytes = 4096;
    const Outcome fits = run(big);
    ASSERT_TRUE(fits.response);
    EXPECT_EQ(fits.response->body.size(), 4096);

    // A big list arrives whole, streamed with its length like a panel's (the fake compressed it whole first,
    // holding the first byte back for most of a minute at 200k entries).
    std::string list = "[";
    while (list.size() < (3u << 20))
        list += R"({"stream_id":12345,"name":"Canal","category_id":"7"},)";
    list.back() = ']';
    server.route("GET", "/list", Reply::json(list));
    HttpRequest whole = get("/list");
    whole.maxBodyBytes = qint64(list.size());
    const Outcome listed = run(whole);
    ASSERT_TRUE(listed.response);
    EXPECT_EQ(listed.response->body, QByteArray::fromStdString(list));
    EXPECT_EQ(listed.response->header("Content-Length"), QByteArray::number(qint64(list.size())));
    EXPECT_TRUE(listed.response->header("Content-Encoding").isEmpty());

    // A status-200 answer whose compressed body cannot be decoded is a failure, not an answer.
    Reply garbled = Reply::json("this is not gzip at all, nor anything else");
    garbled.contentType = "application/octet-stream";
    garbled.headers.emplace_back("Content-Encoding", "gzip");
    server.route("GET", "/garbled", garbled);
    const Outcome unreadable = run(get("/garbled"));
    EXPECT_EQ(unreadable.error, HttpError::Kind::Transport);
    EXPECT_FALSE(unreadable.response);

    // A compressed body that has all arrived, read by a reader that keeps every piece: the deadline still ends it.
    server.route("GET", "/packed", encoded(compressed(std::string(48 << 20, ' ')), "gzip"));
    HttpRequest held = get("/packed");
    held.deadline = 800ms;
    QList<QByteArray> kept;
    held.takeBody = [&](QByteArray chunk, qint64) { kept.append(std::move(chunk)); };
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(run(held).error, HttpError::Kind::TimedOut);
    EXPECT_LT(took.elapsed(), 5000);
}

// A body handed on as it arrives: the pieces make up the served body, the answer keeps none of it, and the size
// limit still ends a body that grows too large, or declares it will.
TEST_F(HttpSessionTest, AStreamedBodyArrivesInPiecesAndKeepsItsLimits)
{
    QByteArray handed;
    int pieces = 0;
    qint64 declared = -2;
    const auto streamedTo = [&](HttpRequest request) {
        handed.clear();
        pieces = 0;
        request.takeBody = [&](QByteArray chunk, qint64 length) {
            handed += chunk;
            ++pieces;
            declared = length;
        };
        return request;
    };

    std::string list = "[";
    while (list.size() < (3u << 20))
        list += R"({"stream_id":12345,"name":"Canal","category_id":"7"},)";
    list.back() = ']';
    server.route("GET", "/list", Reply::json(list));
    const Outcome listed = run(streamedTo(get("/list")));
    ASSERT_TRUE(listed.response);
    EXPECT_EQ(listed.response->status, 200);
    EXPECT_TRUE(listed.response->body.isEmpty());
    EXPECT_EQ(handed, QByteArray::fromStdString(list));
    EXPECT_EQ(declared, qint64(list.size()));

    // Handed on while it trickles in, not once it is all there.
    Reply trickle = Reply::json("[1,2,3]").trickled(30ms);
    trickle.contentType = "application/octet-stream";
    server.route("GET", "/trickle", trickle);
    ASSERT_TRUE(run(streamedTo(get("/trickle"))).response);
    EXPECT_EQ(handed, QByteArray("[1,2,3]"));
    EXPECT_GT(pieces, 3);

    Reply endless = Reply::json(std::string(64 * 1024, 'y')).endless();
    endless.contentType = "application/octet-stream";
    server.route("GET", "/endless", endless);
    HttpRequest flood = streamedTo(get("/endless"));
    flood.maxBodyBytes = 1 << 20;
    EXPECT_EQ(run(flood).error, HttpError::Kind::TooLarge);
    EXPECT_LE(handed.size(), 1 << 20);

    HttpRequest tooBig = streamedTo(get("/list"));
    tooBig.maxBodyBytes = qint64(list.size()) - 1;
    EXPECT_EQ(run(tooBig).error, HttpError::Kind::TooLarge);
    EXPECT_EQ(pieces, 0) << "a declared length past the limit ends the request before any byte is handed on";
}

// Compressed answers are asked for in the codings we decode ourselves and decoded off the main thread: a big,
// well-compressed list arrives whole, while an endless compression bomb ends as too large within seconds, holding
// no more than the limit, and a timer on the main thread keeps ticking all along.
TEST_F(HttpSessionTest, CompressedAnswersDecodeOffTheMainThreadWithinTheLimit)
{
    server.route("GET", "/small", Reply::json(R"({"user_info":{"auth":1}})"));
    const Outcome small = run(get("/small"));
    ASSERT_TRUE(small.response);
    EXPECT_EQ(small.response->body, QByteArray(R"({"user_info":{"auth":1}})"));
    EXPECT_EQ(server.lastRequest("/small")->header("Accept-Encoding"), "gzip, deflate");

    const std::string text = "[1,2,3]";
    server.route("GET", "/zlib", encoded(compressed(text, 15), "deflate"));
    server.route("GET", "/raw", encoded(compressed(text, -15), "deflate"));
    server.route("GET", "/twice", encoded(compressed(text) + compressed(text), "gzip"));
    server.route("GET", "/brotli", encoded(text, "br"));
    server.route("GET", "/cut", encoded(compressed(std::string(1 << 20, 'a')).substr(0, 200), "gzip"));
    EXPECT_EQ(run(get("/zlib")).response->body, QByteArray("[1,2,3]"));
    EXPECT_EQ(run(get("/raw")).response->body, QByteArray("[1,2,3]"));
    EXPECT_EQ(run(get("/twice")).response->body, QByteArray("[1,2,3][1,2,3]"));
    EXPECT_EQ(run(get("/brotli")).error, HttpError::Kind::Transport) << "a coding we never asked for";
    EXPECT_EQ(run(get("/cut")).error, HttpError::Kind::Transport) << "a truncated body is not the answer";

    // A list of 80 MB that compresses about twenty times, streamed whole under the large-list bounds.
    std::string list = "[";
    for (int i = 0; list.size() < (80u << 20); ++i)
        list += "{\"num\":" + std::to_string(i) + ",\"name\":\"Canal " + std::to_string(std::int64_t(i) * 7919 % 100003)
                + " HD\",\"stream_id\":" + std::to_string(100000 + i * 3) + ",\"stream_icon\":\"http://img.example/"
                + std::to_string(i * 31 % 9973) + ".png\",\"category_id\":\"" + std::to_string(i % 97) + "\"},";
    list.back() = ']';
    server.route("GET", "/list", encoded(compressed(list), "gzip"));
    HttpRequest whole = get("/list", 10s);
    whole.boundAsLargeList();
    qint64 handedSize = 0;
    quint32 handedCrc = crc32(0, nullptr, 0);
    whole.takeBody = [&](QByteArray chunk, qint64) {
        handedSize += chunk.size();
        handedCrc = crc32(handedCrc, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size()));
    };
    const Outcome listed = run(whole);
    ASSERT_TRUE(listed.response) << listed.message;
    EXPECT_EQ(handedSize, qint64(list.size()));
    EXPECT_EQ(handedCrc, crc32(0, reinterpret_cast<const Bytef*>(list.data()), uInt(list.size())));
    list = {};

    // Gigabytes of blanks, 64 MiB per gzip member of about 64 KB, sent again and again.
    Reply bomb = encoded(compressed(std::string(64 << 20, ' ')), "gzip").endless();
    server.route("GET", "/bomb", bomb);
    QTimer ticker;
    ticker.setInterval(50);
    QElapsedTimer sinceTick;
    qint64 latest = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        latest = std::max(latest, sinceTick.restart());
    });
    for (const bool largeList : {false, true}) {
        for (const bool streamed : {false, true}) {
            HttpRequest request = get("/bomb");
            if (largeList)
                request.boundAsLargeList();
            qint64 handed = 0;
            if (streamed)
                request.takeBody = [&](QByteArray chunk, qint64) { handed += chunk.size(); };
            latest = 0;
            sinceTick.start();
            ticker.start();
            QElapsedTimer took;
            took.start();
            const Outcome exploded = run(request);
            ticker.stop();
            EXPECT_EQ(exploded.error, HttpError::Kind::TooLarge) << largeList << streamed;
            EXPECT_EQ(exploded.message, "The answer was larger than allowed");
            EXPECT_LT(took.elapsed(), 5000) << largeList << streamed;
            EXPECT_LT(latest, 150) << "the main thread was blocked; large list " << largeList << streamed;
            EXPECT_LE(handed, qint64(100) << 20);
        }
    }
}

// A compressed body cut anywhere decodes: every byte arrives alone (the first one too, which alone cannot tell a
// zlib wrapper from raw deflate), in each wrapper. A body of one byte is no body in any of them, and says so.
TEST_F(HttpSessionTest, ACompressedBodyDecodesHoweverItIsCut)
{
    const std::string text = R"([{"num":1,"name":"Canal 1","stream_id":101},{"num":2,"name":"Canal 2"}])";
    for (const auto& [coding, windowBits] :
         {std::pair("deflate", 15), std::pair("deflate", -15), std::pair("gzip", 31)}) {
        const std::string body = compressed(text, windowBits);
        server.route("GET", "/cut", encoded(body, coding).trickled(5ms));
        const Outcome cut = run(get("/cut"));
        ASSERT_TRUE(cut.response) << coding << windowBits << cut.message;
        EXPECT_EQ(cut.response->body, QByteArray::fromStdString(text)) << coding << windowBits;

        server.route("GET", "/one", encoded(body.substr(0, 1), coding));
        const Outcome one = run(get("/one"));
        EXPECT_EQ(one.error, HttpError::Kind::Transport) << coding << windowBits;
        EXPECT_FALSE(one.response) << coding << windowBits;
    }
}

// The application quits while a compressed answer is still being decoded: the process ends all the same. The test
// runs itself as a child process, so a process that never ends fails it instead of hanging it.
TEST(HttpSessionQuitTest, QuittingWhileABodyDecodesEndsTheProcess)
{
    if (qEnvironmentVariableIsSet("SENDRA_QUIT_WHILE_DECODING")) {
        // The child: a deflate answer whose bytes come one by one, then the network manager goes and the
        // application ends, as they do when the application quits with the request still waiting.
        LoopbackServer server;
        server.route("GET", "/cut", encoded(compressed(std::string(200, 'a'), 15), "deflate").trickled(20ms));
        auto manager = std::make_unique<QNetworkAccessManager>();
        HttpRequest request;
        request.url = server.url("/cut");
        auto* out = new Outcome; // the request is never awaited, and may outlive everything here
        capture(HttpSession(manager.get()), request, {}, out);
        QTest::qWait(800);
        return;
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SENDRA_QUIT_WHILE_DECODING", "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=HttpSessionQuitTest.QuittingWhileABodyDecodesEndsTheProcess"});
    ASSERT_TRUE(child.waitForStarted(10'000));
    const bool ended = child.waitForFinished(15'000);
    if (!ended) {
        child.kill();
        child.waitForFinished(5'000);
    }
    EXPECT_TRUE(ended) << "the process did not end after quitting";
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
}

// A reader slower than the network: it keeps every piece until none has come for a while, then lets them all go.
// What it holds at once stays a few megabytes, its pauses are not the server's silence (they outlast the idle
// time-out), and the body arrives whole and in order, plain or compressed.
TEST_F(HttpSessionTest, ASlowReaderHoldsTheTransferInsteadOfThePieces)
{
    std::string list;
    for (int i = 0; list.size() < (32u << 20); ++i)
        list += "#EXTINF:-1 group-title=\"G" + std::to_string(i % 97) + "\",Canal " + std::to_string(i)
                + "\nhttp://example.test/live/" + std::to_string(std::int64_t(i) * 7919) + ".ts\n";
    server.route("GET", "/plain", Reply::json(list));
    server.route("GET", "/packed", encoded(compressed(list), "gzip"));
    const quint32 expectedCrc = crc32(0, reinterpret_cast<const Bytef*>(list.data()), uInt(list.size()));
    for (const char* path : {"/plain", "/packed"}) {
        HttpRequest request = get(path, 300ms);
        request.boundAsLargeList();
        QList<QByteArray> held;
        qint64 heldBytes = 0;
        qint64 mostHeld = 0;
        qint64 handed = 0;
        quint32 crc = crc32(0, nullptr, 0);
        QElapsedTimer sincePiece;
        sincePiece.start();
        request.takeBody = [&](QByteArray chunk, qint64) {
            sincePiece.restart();
            handed += chunk.size();
            crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size()));
            heldBytes += chunk.size();
            mostHeld = std::max(mostHeld, heldBytes);
            held.append(std::move(chunk));
        };
        QTimer reader;
        reader.setInterval(20);
        QObject::connect(&reader, &QTimer::timeout, [&] {
            if (sincePiece.elapsed() < 500)
                return;
            held.clear();
            heldBytes = 0;
        });
        reader.start();
        const Outcome read = run(request);
        ASSERT_TRUE(read.response) << path << read.message;
        EXPECT_EQ(handed, qint64(list.size())) << path;
        EXPECT_EQ(crc, expectedCrc) << path;
        EXPECT_LT(mostHeld, qint64(16) << 20) << path;
    }
}
