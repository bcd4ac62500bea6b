#include "OrrinthCore/CoreErrors.h"
#include "OrrinthCore/XtreamCredentials.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace orrinth;

namespace {

XtreamCredentials credentials(const char *server = "http://panel.example:8080", QString user = QStringLiteral("ana"),
                              QString password = QStringLiteral("s3cret"))
{
    return XtreamCredentials(QUrl(QString::fromLatin1(server)), std::move(user), std::move(password));
}

CatalogItem item(std::optional<ContentKind> kind, QString id = QStringLiteral("42"), QString extension = QString(),
                 std::optional<QUrl> source = std::nullopt)
{
    return CatalogItem(std::move(id), QStringLiteral("n"), QString(), QStringLiteral("c"), std::nullopt,
                       std::move(extension), kind, std::move(source));
}

QByteArray stream(const XtreamCredentials &c, const CatalogItem &i)
{
    const auto url = c.streamURL(i);
    return url ? url->toEncoded() : QByteArray("<none>");
}

} // namespace

TEST(XtreamCredentials, Validation)
{
    EXPECT_NO_THROW(credentials("HTTPS://panel.example"));
    EXPECT_NO_THROW(credentials("http://panel.example", QStringLiteral(" "), QStringLiteral(" ")));
    EXPECT_THROW(credentials("ftp://panel.example"), CredentialFailure);
    EXPECT_THROW(credentials("panel.example"), CredentialFailure);
    EXPECT_THROW(credentials("http:///path"), CredentialFailure);
    EXPECT_THROW(credentials("http://panel.example", QString()), CredentialFailure);
    EXPECT_THROW(credentials("http://panel.example", QStringLiteral("ana"), QString()), CredentialFailure);
    EXPECT_EQ(credentials(), credentials());
    EXPECT_FALSE(credentials() == credentials("http://panel.example:8080", QStringLiteral("Ana")));
}

TEST(XtreamCredentials, PlaylistAddressKeepsServerPathAndReplacesItsQuery)
{
    const QUrl playlist =
        credentials("http://panel.example/iptv?old=1", QStringLiteral("a b"), QStringLiteral("p+&=#%")).playlistURL();
    EXPECT_EQ(playlist.path(), QStringLiteral("/iptv/get.php"));
    EXPECT_EQ(playlist.query(QUrl::FullyEncoded),
              QStringLiteral("username=a%20b&password=p%2B%26%3D%23%25&type=m3u_plus&output=ts"));
}

TEST(XtreamCredentials, StreamAddresses)
{
    const auto c = credentials();
    EXPECT_EQ(stream(c, item(ContentKind::live)), "http://panel.example:8080/live/ana/s3cret/42.ts");
    EXPECT_EQ(stream(c, item(ContentKind::movie)), "http://panel.example:8080/movie/ana/s3cret/42.mp4");
    EXPECT_EQ(stream(c, item(ContentKind::movie, QStringLiteral("42"), QStringLiteral("MKV"))),
              "http://panel.example:8080/movie/ana/s3cret/42.MKV");
    EXPECT_EQ(stream(credentials("http://panel.example/base/"), item(ContentKind::live)),
              "http://panel.example/base/live/ana/s3cret/42.ts");

    const QUrl own(QStringLiteral("http://cdn.example/own.m3u8"));
    EXPECT_EQ(c.streamURL(item(ContentKind::series, QStringLiteral("1"), QString(), own)), own);
    EXPECT_EQ(c.streamURL(item(std::nullopt, QStringLiteral("1"), QString(), own)), own);
    EXPECT_FALSE(c.streamURL(item(std::nullopt)));

    const QUrl series = *c.streamURL(item(ContentKind::series, QStringLiteral("9")));
    EXPECT_EQ(series.path(), QStringLiteral("/player_api.php"));
    EXPECT_EQ(QUrlQuery(series).queryItemValue(QStringLiteral("action")), QStringLiteral("get_series_info"));
    EXPECT_EQ(QUrlQuery(series).queryItemValue(QStringLiteral("series_id")), QStringLiteral("9"));
}

TEST(XtreamCredentials, EveryValueIsOneEncodedPathSegment)
{
    const auto c = credentials("http://panel.example", QStringLiteral("a b"), QStringLiteral("x/../%2B"));
    EXPECT_EQ(stream(c, item(ContentKind::live, QStringLiteral("7/8"))),
              "http://panel.example/live/a%20b/x%2F..%2F%252B/7%2F8.ts");
    const auto series = c.streamURL(item(ContentKind::series, QStringLiteral("9")));
    EXPECT_EQ(QUrlQuery(*series).queryItemValue(QStringLiteral("username"), QUrl::FullyDecoded), QStringLiteral("a b"));
    EXPECT_EQ(c.episodeURL(QStringLiteral("e/1"), QStringLiteral("mkv"))->toEncoded(),
              "http://panel.example/series/a%20b/x%2F..%2F%252B/e%2F1.mkv");

    // What a path segment may hold stays as typed; the server's own query (a panel token) is kept.
    const auto mail = credentials("http://panel.example/base?token=a%2Bb#top", QStringLiteral("ana@mail.com"),
                                  QStringLiteral("p+&=!$'(*),;:~ñ?#"));
    EXPECT_EQ(stream(mail, item(ContentKind::movie, QStringLiteral("7"))),
              "http://panel.example/base/movie/ana@mail.com/p+&=!$'(*),;:~%C3%B1%3F%23/7.mp4?token=a%2Bb");

    // A value that a server would collapse as "." or ".." cannot form a path at all.
    EXPECT_FALSE(credentials("http://panel.example", QStringLiteral("..")).streamURL(item(ContentKind::live)));
    EXPECT_FALSE(c.episodeURL(QStringLiteral("."), QStringLiteral("")));
}
