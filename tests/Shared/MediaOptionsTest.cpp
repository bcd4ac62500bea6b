#include "Shared/MediaOptions.h"
#include "Shared/ProviderMovieRedirectResolver.h"

#include "MediaServer.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QTimer>
#include <QCoro/QCoroTask>
#include <gtest/gtest.h>

using namespace sendra::playback;
using sendra::testing::MediaServer;

namespace {

QStringList expectedCommon(const QString &caching)
{
    return {QStringLiteral(":http-user-agent=Mozilla/5.0 (Linux; Android) AppleWebKit/537.36 Calvenor/1.0"),
            QStringLiteral(":http-reconnect"),
            QStringLiteral(":network-caching=") + caching,
            QStringLiteral(":live-caching=") + caching,
            QStringLiteral(":clock-jitter=0"),
            QStringLiteral(":clock-synchro=0")};
}

} // namespace

TEST(MediaOptions, liveTransportStreamsAndFilmsGetTheirOptionsInOrder)
{
    const QUrl live(QStringLiteral("http://panel.example:8080/live/u/p/1.TS"));
    EXPECT_EQ(configuredMediaOptions(live, live),
              expectedCommon("2500") << ":demux=ts"
                                     << ":http-referrer=http://panel.example:8080/");

    // The film opens at its redirect target; the referrer still names the requested server, without a port.
    const QUrl film(QStringLiteral("https://panel.example/movie/u/p/1.mp4"));
    const QUrl target(QStringLiteral("http://cdn.example:81/x/1.mp4?token=abc"));
    EXPECT_EQ(configuredMediaOptions(target, film), expectedCommon("900") << ":http-referrer=https://panel.example/");

    // The ts options follow the opened address, the caching follows "/live/" in it.
    const QUrl series(QStringLiteral("http://panel.example/series/u/p/9.ts"));
    EXPECT_EQ(configuredMediaOptions(series, QUrl(QStringLiteral("file:///tmp/9.ts"))),
              expectedCommon("900") << ":demux=ts");
}

TEST(MediaOptions, refererKeepsIpv6BracketsAndNeedsSchemeAndHost)
{
    EXPECT_EQ(refererFor(QUrl(QStringLiteral("http://[::1]:8080/live/a/b/1.ts"))), QStringLiteral("http://[::1]:8080/"));
    EXPECT_EQ(refererFor(QUrl(QStringLiteral("http://user:pw@host.example/movie/1.mp4?x=1#f"))),
              QStringLiteral("http://host.example/"));
    EXPECT_FALSE(refererFor(QUrl(QStringLiteral("/movie/u/p/1.mp4"))));
    EXPECT_FALSE(refererFor(QUrl(QStringLiteral("file:///movie/1.mp4"))));
}

TEST(MediaOptions, filmAddressesAreRecognisedByAPathComponent)
{
    EXPECT_TRUE(ProviderMovieRedirectResolver::isProviderMovie(QUrl(QStringLiteral("http://h/MOVIE/u/p/7.mkv"))));
    EXPECT_FALSE(ProviderMovieRedirectResolver::isProviderMovie(QUrl(QStringLiteral("http://h/series/u/p/123.mkv"))));
    EXPECT_FALSE(ProviderMovieRedirectResolver::isProviderMovie(QUrl(QStringLiteral("http://movie/movies/movie.mp4"))));
    EXPECT_FALSE(ProviderMovieRedirectResolver::isProviderMovie(QUrl(QStringLiteral("http://h/live/u/p/1.ts?movie"))));
}

class RedirectProbe : public ::testing::Test
{
protected:
    QUrl resolve(const QUrl &url, netkit::CancelToken token = {})
    {
        return QCoro::waitFor(ProviderMovieRedirectResolver::resolve(&network, url, token, timeouts));
    }

    MediaServer server;
    QNetworkAccessManager network;
    ProbeTimeouts timeouts{std::chrono::milliseconds(400), std::chrono::milliseconds(600)};
};

TEST_F(RedirectProbe, aRedirectToAnotherHostIsTakenFromTheHeadRequestWithoutFollowingIt)
{
    const std::string target = server.url("/cdn/7.mp4", "localhost").toString().toStdString();
    server.serveRedirect("/movie/u/p/7.mp4", target);

    EXPECT_EQ(resolve(server.url("/movie/u/p/7.mp4")).toString().toStdString(), target);
    const auto probes = server.requests("/movie/u/p/7.mp4");
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(probes[0].method, "HEAD");
    EXPECT_EQ(probes[0].header("user-agent"), "Mozilla/5.0 (Linux; Android) AppleWebKit/537.36 Calvenor/1.0");
    EXPECT_EQ(probes[0].header("accept"), "*/*");
    EXPECT_EQ(probes[0].header("referer"), "http://127.0.0.1:" + std::to_string(server.port()) + "/");
    EXPECT_FALSE(probes[0].header("range"));
    EXPECT_EQ(server.requestCount("/cdn/7.mp4"), 0u);
}

TEST_F(RedirectProbe, onTheSameHostAOneByteGetDecides)
{
    // Redirected within the host: the GET of the requested address repeats the question; its target wins.
    server.serveRedirect("/movie/u/p/8.mp4", "/cdn/8.mp4?sig=1");
    EXPECT_EQ(resolve(server.url("/movie/u/p/8.mp4")), server.url("/cdn/8.mp4?sig=1"));
    auto probes = server.requests("/movie/u/p/8.mp4");
    ASSERT_EQ(probes.size(), 2u);
    EXPECT_EQ(probes[1].method, "GET");
    EXPECT_EQ(probes[1].header("range"), "bytes=0-0");
    EXPECT_EQ(server.requestCount("/cdn/8.mp4"), 0u);

    // Answered directly: the film plays from the requested address, and the file is not downloaded.
    server.serveFile("/movie/u/p/9.mp4", QByteArray(4 << 20, 'x'), "video/mp4");
    EXPECT_EQ(resolve(server.url("/movie/u/p/9.mp4")), server.url("/movie/u/p/9.mp4"));
    probes = server.requests("/movie/u/p/9.mp4");
    ASSERT_EQ(probes.size(), 2u);
    EXPECT_EQ(probes[0].method, "HEAD");
    EXPECT_EQ(probes[1].method, "GET");
}

TEST_F(RedirectProbe, failuresFallBackToTheRequestedAddressWithinTheTimeOuts)
{
    // Not a film: no request at all.
    const QUrl series = server.url("/series/u/p/1.mp4");
    EXPECT_EQ(resolve(series), series);
    EXPECT_EQ(server.requestCount("/series/u/p/1.mp4"), 0u);

    server.serveHang("/movie/u/p/hang.mp4");
    QElapsedTimer clock;
    clock.start();
    const QUrl hanging = server.url("/movie/u/p/hang.mp4");
    EXPECT_EQ(resolve(hanging), hanging);
    // Two requests, each bounded by our own time-out.
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_GE(clock.elapsed(), 2 * 400 - 50);

    const QUrl refused(QStringLiteral("http://127.0.0.1:1/movie/u/p/1.mp4"));
    EXPECT_EQ(resolve(refused), refused);

    // Cancelled mid-probe: the hung request is dropped at once.
    netkit::CancelToken token;
    QTimer::singleShot(50, [token] { token.cancel(); });
    clock.restart();
    EXPECT_EQ(resolve(hanging, token), hanging);
    EXPECT_LT(clock.elapsed(), 350);
    server.release();
}
