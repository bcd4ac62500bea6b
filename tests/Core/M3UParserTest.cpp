#include "OrrinthCore/M3UParser.h"

#include "catalog-gen/CatalogGenerator.h"
#include "catalog-gen/CoreM3UReference.h"

#include <gtest/gtest.h>

#include <array>

using namespace orrinth;

namespace {

QList<CatalogItem> parse(const QString &text)
{
    return M3UParser().parse(text);
}

} // namespace

TEST(M3UParser, ReadsAnEntryWithItsAttributes)
{
    const auto items = parse(QStringLiteral(
        "#EXTM3U\r\n#EXTINF:-1 tvg-id=\"uno.es\" tvg-logo=\"http://img/uno.png\" group-title=\"Noticias\", Canal Uno \t\r\n"
        "  http://stream.example/live/1.ts  \r\n"));
    ASSERT_EQ(items.size(), 1);
    const CatalogItem &item = items.first();
    EXPECT_EQ(item.id(), QStringLiteral("uno.es"));
    EXPECT_EQ(item.name(), QStringLiteral("Canal Uno"));
    EXPECT_EQ(item.category(), QStringLiteral("Noticias"));
    EXPECT_EQ(item.imageURL(), QUrl(QStringLiteral("http://img/uno.png")));
    EXPECT_EQ(item.sourceURL(), QUrl(QStringLiteral("http://stream.example/live/1.ts")));
    EXPECT_EQ(item.categoryID(), QString());
    EXPECT_EQ(item.extensionName(), QString());
    EXPECT_EQ(item.kind(), ContentKind::live);
}

TEST(M3UParser, NamesCommasAndDefaults)
{
    const auto items = parse(QStringLiteral("#EXTINF:-1 group-title=\"A, B\",Name\nhttp://s/1\n"
                                            "#EXTINF:-1 tvg-id=\"\" group-title=\"\",\nhttp://s/2\n"
                                            "#EXTINF:-1 tvg-logo=\"not a url\"\nhttp://s/3\n"
                                            "#EXTINF:-1 group-title=\"open\nnot an address\nhttp://s/4\n"));
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0].name(), QStringLiteral("B\",Name")) << "the first comma splits, even inside a value";
    EXPECT_EQ(items[0].category(), QStringLiteral("A, B"));
    EXPECT_EQ(items[1].name(), QStringLiteral("#EXTINF:-1 tvg-id=\"\" group-title=\"\""));
    EXPECT_EQ(items[1].id(), M3UParser::fallbackID(u"http://s/2")) << "an empty tvg-id is none";
    EXPECT_EQ(items[1].category(), QString());
    EXPECT_EQ(items[2].name(), QStringLiteral("#EXTINF:-1 tvg-logo=\"not a url\""));
    EXPECT_FALSE(items[2].imageURL());
    EXPECT_EQ(items[2].category(), QStringLiteral("Sin categoría"));
    EXPECT_EQ(items[3].category(), QStringLiteral("Sin categoría")) << "an unclosed value is missing";
    EXPECT_EQ(items[3].sourceURL(), QUrl(QStringLiteral("http://s/4"))) << "a line that is no address is skipped";
}

TEST(M3UParser, PendingInfoLines)
{
    const auto items = parse(QStringLiteral("http://orphan/0\n#EXTINF:-1,First\n#EXTINF:-1,Second\n"
                                            "# comment\n\n#extinf:-1,lower\nhttp://s/2\n#EXTINF:-1,Dangling"));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].name(), QStringLiteral("Second"));
    EXPECT_EQ(items[0].sourceURL(), QUrl(QStringLiteral("http://s/2")));
    EXPECT_TRUE(parse(QString()).isEmpty());

    // Every newline character ends a line.
    EXPECT_EQ(parse(QStringLiteral("#EXTINF:-1,A\u2028http://s/a\u0085#EXTINF:-1,B\u000bhttp://s/b")).size(), 2);
}

// A placeholder before the real address must not take its place; a list from a server must not hand the player a
// local file or a script; an id of blanks would merge entries.
TEST(M3UParser, OnlyAbsoluteNetworkAddressesAreStreams)
{
    const auto items = parse(QStringLiteral(
        "#EXTINF:-1 tvg-id=\" \t\",Uno\n[NO PUBLIC STREAM]\nmovie/2.mkv\nfile:///etc/passwd\njavascript:alert(1)\n"
        "rtmp://media.test/live/1\n#EXTINF:-1 tvg-id=\"\uFEFF\",Dos\nudp://@239.0.0.1:1234\n"
        "#EXTINF:-1 tvg-id=\" x \",Tres\nMMSH://radio.test/3\n#EXTINF:-1,Cuatro\nftp://files.test/4\n"));
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0].sourceURL(), QUrl(QStringLiteral("rtmp://media.test/live/1")));
    EXPECT_EQ(items[0].id(), M3UParser::fallbackID(u"rtmp://media.test/live/1"));
    EXPECT_EQ(items[1].id(), M3UParser::fallbackID(u"udp://@239.0.0.1:1234"));
    EXPECT_EQ(items[2].id(), QStringLiteral(" x ")) << "an id with text is kept as written";
    EXPECT_EQ(items[2].sourceURL(), QUrl(QStringLiteral("mmsh://radio.test/3")));
}

TEST(M3UParser, KindGuess)
{
    EXPECT_EQ(M3UParser::inferKind(u"Mis SERIES", u"http://s/1"), ContentKind::series);
    EXPECT_EQ(M3UParser::inferKind(u"Cine", u"http://s/movie/1.mp4"), ContentKind::movie);
    EXPECT_EQ(M3UParser::inferKind(u"Cine", u"http://vod.example/1"), ContentKind::movie);
    EXPECT_EQ(M3UParser::inferKind(u"PELÍCULAS", u"http://s/1"), ContentKind::movie);
    EXPECT_EQ(M3UParser::inferKind(u"Series y movies", u"http://s/1"), ContentKind::series);
    EXPECT_EQ(M3UParser::inferKind(u"Deportes", u"http://s/1"), ContentKind::live);
}

TEST(M3UParser, FallbackIdsAreStableHashesOfTheAddressLine)
{
    const QString text = QStringLiteral("#EXTINF:-1,A\nhttp://s/same\n#EXTINF:-1,B\n  http://s/same \n"
                                        "#EXTINF:-1,C\nhttp://s/other\n");
    const auto first = parse(text);
    const auto second = parse(text);
    ASSERT_EQ(first.size(), 3);
    EXPECT_EQ(first[0].id(), first[1].id());
    EXPECT_NE(first[0].id(), first[2].id());
    EXPECT_EQ(first[2].id(), second[2].id());
    // Pinned: the id must not change between runs or builds, or stored favourites would be lost.
    EXPECT_EQ(M3UParser::fallbackID(u""), QStringLiteral("-3750763034362895579"));
    EXPECT_EQ(M3UParser::fallbackID(u"a"), QStringLiteral("-5808556873153909620"));
}

// The parser reads bytes, not characters: it must give what the plain character-by-character reading gives, item for
// item, on every kind of line real playlists hold.
TEST(M3UParser, AgreesWithThePlainReadingOfTheRules)
{
    const auto expectSame = [](const QString &text) {
        const QList<CatalogItem> fast = parse(text);
        const QList<CatalogItem> plain = sendra::testkit::parseM3UPlainly(text);
        ASSERT_EQ(fast.size(), plain.size());
        for (qsizetype i = 0; i < fast.size(); ++i)
            ASSERT_TRUE(fast[i] == plain[i]) << "item " << i << ": " << fast[i].name().toStdString() << " / "
                                             << plain[i].name().toStdString() << " / "
                                             << plain[i].sourceURL().value_or(QUrl()).toString().toStdString();
    };
    const sendra::testkit::CatalogGenerator generator;
    sendra::testkit::PlaylistShape shape;
    shape.crlf = true;
    shape.bom = true;
    shape.noTvgIdEvery = 7;
    // Long enough to be read in several slices, with the slices cut at lines of every kind.
    expectSame(QString::fromUtf8(generator.playlist(6000, shape)));
    QString mixedBreaks = QString::fromUtf8(generator.playlist(4000));
    for (qsizetype i = 0, n = 0; (i = mixedBreaks.indexOf(u'\n', i)) >= 0; ++i, ++n)
        mixedBreaks[i] = QChar(std::array<char16_t, 5>{u'\n', u'\r', 0x2028, 0x0085, u'\f'}[n % 5]);
    expectSame(mixedBreaks);
    expectSame(QStringLiteral("#EXTINF:-1,") + QString(300000, u'T') + QStringLiteral("\nhttp://h.test/largo\n") +
               QString(200000, u'#') + QStringLiteral("\nhttp://h.test/tras\n#EXTINF:-1,Corto\nhttp://h.test/c"));
    expectSame(QString::fromUtf8(generator.playlist(3000)));

    expectSame(QStringLiteral(
        "\uFEFF#EXTM3U\n"
        "#EXTINF:-1 tvg-id=\"\u00A0\" tvg-logo=\"http://Img.Test:80/A b.png\" group-title=\"PEL\u00CDCULAS\",\u3000T\u00edtulo\u2003\n"
        "\u2028\t HTTP://Cdn.Test/Movie/1.mkv \u00A0\r\n"
        "#EXTINF:-1 tvg-logo=\"rel/logo.png\" group-title=\"\u212Aids S\u00E9ries\",Uno, dos\n\u0085http://u:p@cdn.test:8080/a%20b/1.ts?x=1#f\n"
        "#EXTINF:-1 tvg-logo=\"not a url\" group-title=\"VOD\",\n\vrtmp://media.test/live/2\f"
        "#EXTINF:-1 tvg-logo=\"http://[::1]:99/x.png\" tvg-id=\"\uFEFF \",,\nhttp://h.test/%zz\nhttp://h.test/\u00d1and\u00fa\n"
        "#EXTINF:-1 tvg-logo=\"http://h.test/p/%2Fq.png\" group-title=\"\",Sin grupo\nhttp://h.test/a+b(1)*,;=!$'.ts\n"
        "#EXTINF:-1 group-title=\"open\nhttp://h.test\n#EXTINF:-1 tvg-id=\"x\" tvg-id=\"y\",\uFEFFBOM\nhttp://h.test:99999/a\nudp://@239.0.0.1:1234\n"
        "#EXTINF:-1 group-title=\"Pel\u00edcula\",Tab\tbed\t\nmms://radio.test/1\n"
        "#EXTINF:-1 tvg-logo=\"\uFEFFhttp://h.test/l.png\",Marca\n\uFEFFhttp://h.test/bom\nhttp://h.test/sin\n#EXTINF:-1,\u00A0\nhttp://a.test/episode/series/1"));
}

// A caller keeps the table, not the items: every field read in place and every item given back must be what the
// plain reading gives, over texts longer than a block, with and without a logo, and past the number of address
// directories that are shared.
TEST(M3UParser, TableHoldsEveryEntryExactly)
{
    sendra::testkit::PlaylistShape shape;
    shape.noTvgIdEvery = 5;
    QString text = QString::fromUtf8(sendra::testkit::CatalogGenerator().playlist(20000, shape));
    text += QStringLiteral(
        "\n#EXTINF:-1 tvg-id=\"sin-logo\" group-title=\"Noticias\",Sin logo\nhttp://s.test/a/b.ts?x=/y/z#f/g\n"
        "#EXTINF:-1 tvg-logo=\"rel/logo.png\",Relativo\nhttp://s.test/rel\n"
        "#EXTINF:-1 tvg-logo=\"not a url\" tvg-id=\"\uFEFFmarca\",\uFEFF\uFEFFMarca\nudp://@239.0.0.1:1234\n"
        "#EXTINF:-1 tvg-logo=\"http://img.test\" tvg-id=\"\",Sin barra\nrtmp://media.test\n"
        "#EXTINF:-1 tvg-logo=\"\",Logo vac\u00edo\nhttp://s.test/vacio\n#EXTINF:-1 tvg-id=\"");
    text += QString(70000, u'i') + QStringLiteral("\",") + QString(70000, u'\u00f1') +
            QStringLiteral("\U0001F3AC\nhttp://s.test/largo\n");
    // More logo directories than are shared: the later ones are kept whole, the earlier ones are still shared.
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("#EXTINF:-1 tvg-logo=\"http://img.test/d%1/logo.png\" group-title=\"Grupo %2\",Canal %1\n"
                               "http://s.test/live/%1.ts\n")
                    .arg(i)
                    .arg(i % 7);
    text += QStringLiteral("#EXTINF:-1 tvg-logo=\"http://img.test/d3/logo.png\",Otra vez\nhttp://s.test/live/3.ts\n");

    const CatalogTable table = M3UParser().parseTable(text);
    const QList<CatalogItem> plain = sendra::testkit::parseM3UPlainly(text);
    ASSERT_EQ(table.size(), 20000 + 6 + 5000 + 1);
    ASSERT_EQ(table.size(), plain.size());
    for (qsizetype i = 0; i < table.size(); ++i) {
        const CatalogItem &item = plain[i];
        ASSERT_TRUE(table.at(i) == item) << i << ": " << item.name().left(40).toStdString();
        ASSERT_EQ(table.id(i), item.id()) << i;
        ASSERT_EQ(table.name(i), item.name()) << i;
        ASSERT_EQ(table.category(i), item.category()) << i;
        ASSERT_EQ(table.categoryID(i), item.categoryID()) << i;
        ASSERT_EQ(table.hasImage(i), item.imageURL().has_value()) << i;
        ASSERT_EQ(table.imageURL(i), item.imageURL()) << i;
        ASSERT_EQ(table.kind(i), item.kind()) << i;
        ASSERT_EQ(table.sourceURL(i), item.sourceURL()) << i;
    }
    EXPECT_TRUE(M3UParser().parse(text) == plain);
}
