#include "NetKit/UrlCodec.h"

#include <gtest/gtest.h>

using namespace netkit;

TEST(UrlCodec, QueryValuesKeepEveryReservedCharacterEncoded)
{
    EXPECT_EQ(encodeQueryComponent(QStringLiteral("a+b&c=d#e%f g/?")),
              QByteArray("a%2Bb%26c%3Dd%23e%25f%20g%2F%3F"));
    const QUrl url = withQuery(QUrl(QStringLiteral("http://host:8080/player_api.php")),
                               {{"username", "u"}, {"password", "p+%2B&"}});
    // QUrl must not decode, re-encode or double-encode what we encoded.
    EXPECT_EQ(url.toEncoded(), QByteArray("http://host:8080/player_api.php?username=u&password=p%2B%252B%26"));
    EXPECT_EQ(withQuery(url, {}).toEncoded(), QByteArray("http://host:8080/player_api.php"));
}

TEST(UrlCodec, PathSegmentsStayOneSegment)
{
    EXPECT_EQ(encodePathSegment(QStringLiteral("a/b c+%")), QByteArray("a%2Fb%20c%2B%25"));
    EXPECT_EQ(encodePathSegment(QStringLiteral("brand-1")), QByteArray("brand-1"));
    for (const char* unsafe : {"", ".", ".."})
        EXPECT_EQ(encodePathSegment(QString::fromLatin1(unsafe)), std::nullopt) << unsafe;

    const QByteArray segment = *encodePathSegment(QStringLiteral("x/y%2B"));
    EXPECT_EQ(appendingPath(QUrl(QStringLiteral("https://h")), "api/catalog/" + segment + "/manifest").toEncoded(),
              QByteArray("https://h/api/catalog/x%2Fy%252B/manifest"));
    EXPECT_EQ(appendingPath(QUrl(QStringLiteral("https://h/base/?q=1#f")), "api/x").toEncoded(),
              QByteArray("https://h/base/api/x"));
}
