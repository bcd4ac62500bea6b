#include "Domain/CatalogTypes.h"
#include "Domain/StoredJson.h"
#include "NetKit/Blocks.h"

#include <QSet>
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace sendra;

namespace {
MediaNode film(const QString& id = QStringLiteral("123"))
{
    MediaNode node;
    node.id = id;
    node.title = QStringLiteral("Ápice 2");
    node.groupID = QStringLiteral("7");
    node.groupName = QStringLiteral("Acción");
    node.artwork = QUrl(QStringLiteral("https://img.example/a%20b.jpg"));
    node.fileSuffix = QStringLiteral("mkv");
    node.kind = SignalKind::cinema;
    node.directURL = QUrl(QStringLiteral("http://host:8080/movie/u/p%2B/123.mkv?token=a+b"));
    node.contentClassification = QStringLiteral("generic");
    return node;
}

MediaNode bare(SignalKind kind, const QString& id)
{
    MediaNode node;
    node.id = id;
    node.kind = kind;
    return node;
}

QJsonObject filmObject()
{
    return toJson(film());
}

std::optional<QUrl> candidate(SignalKind kind, const QString& address)
{
    return PlaybackTicket::nativeVODCandidate(bare(kind, QStringLiteral("1")), QUrl(address));
}

std::optional<QUrl> alternative(SignalKind kind, const QString& address)
{
    return PlaybackTicket::nativeAlternative(bare(kind, QStringLiteral("1")), QUrl(address));
}
} // namespace

TEST(SignalKind, storedValuesAreExactAndKeysKeepKindsApart)
{
    EXPECT_EQ(signalKindFromStored(QStringLiteral("movies")), SignalKind::cinema);
    for (const QString& text : {QStringLiteral("TV"), QStringLiteral(" tv"), QStringLiteral("film"), QString()})
        EXPECT_FALSE(signalKindFromStored(text)) << text.toStdString();

    const QSet<QString> keys{bare(SignalKind::broadcast, "1").catalogKey(), bare(SignalKind::cinema, "1").catalogKey(),
                             bare(SignalKind::episodic, "1").catalogKey()};
    EXPECT_EQ(keys, QSet<QString>({"tv:1", "movies:1", "series:1"}));
}

TEST(MediaNode, equalityAndHashingCoverEveryField)
{
    const MediaNode base = film();
    EXPECT_EQ(base, film());
    EXPECT_EQ(qHash(base, 0), qHash(film(), 0));

    QList<MediaNode> variants(9, base);
    variants[0].id = "124";
    variants[1].title = "Otro";
    variants[2].groupID = "8";
    variants[3].groupName = "Drama";
    variants[4].artwork.reset();
    variants[5].fileSuffix = "mp4";
    variants[6].kind = SignalKind::episodic;
    variants[7].directURL = QUrl("http://host:8080/movie/u/p/124.mkv");
    variants[8].contentClassification = QString(); // present but empty differs from "generic"
    QSet<size_t> hashes{qHash(base, 0)};
    for (const MediaNode& variant : variants) {
        EXPECT_NE(variant, base);
        hashes.insert(qHash(variant, 0));
    }
    EXPECT_EQ(hashes.size(), 10);

    // An absent optional and a present empty one are different values.
    MediaNode absent = base;
    absent.contentClassification.reset();
    EXPECT_NE(absent, variants[8]);
    EXPECT_NE(qHash(absent, 0), qHash(variants[8], 0));
}

TEST(StoredJson, recordsSurviveARoundTrip)
{
    ResumeMarker marker{film().catalogKey(), film(), 0.25,
                        QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30, 125), Qt::UTC), 3};
    ResumeMarker noEpisode = marker;
    noEpisode.episodeIndex.reset();
    noEpisode.node = bare(SignalKind::broadcast, QStringLiteral("9"));

    const auto markers = decodeList<ResumeMarker>(encodeList(QList<ResumeMarker>{marker, noEpisode}));
    ASSERT_TRUE(markers);
    ASSERT_EQ(markers->size(), 2);
    EXPECT_EQ(markers->at(0).id, "movies:123");
    EXPECT_EQ(markers->at(0).node, film());
    EXPECT_EQ(markers->at(0).fraction, 0.25);
    EXPECT_EQ(markers->at(0).updatedAt, marker.updatedAt);
    EXPECT_EQ(markers->at(0).episodeIndex, 3);
    EXPECT_EQ(markers->at(1).node, noEpisode.node);
    EXPECT_FALSE(markers->at(1).episodeIndex);
    EXPECT_FALSE(toJson(noEpisode).contains("episodeIndex"));
    EXPECT_FALSE(toJson(noEpisode).value("node").toObject().contains("artwork"));

    const ViewerIdentity identity{QUuid::createUuid(), QStringLiteral("Niños"), QStringLiteral("star.fill")};
    const QJsonObject stored = toJson(identity);
    EXPECT_EQ(stored.value("id").toString(), identity.id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(decodeList<ViewerIdentity>(encodeList(QList<ViewerIdentity>{identity})), QList<ViewerIdentity>{identity});
}

TEST(StoredJson, datesCountFromTheReferenceDate)
{
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(referenceSeconds(reference), 0.0);
    EXPECT_EQ(referenceSeconds(reference.addSecs(-86400)), -86400.0);
    EXPECT_EQ(dateFromReferenceSeconds(1.5), reference.addMSecs(1500));
    EXPECT_FALSE(dateFromReferenceSeconds(std::numeric_limits<double>::infinity()));
}

TEST(StoredJson, fractionsAreClampedAndNeverWrittenNonFinite)
{
    const QList<QPair<double, double>> cases{{std::nan(""), 0.0},
                                             {std::numeric_limits<double>::infinity(), 0.0},
                                             {-std::numeric_limits<double>::infinity(), 0.0},
                                             {1.7, 1.0},
                                             {-0.2, 0.0}};
    for (const auto& [given, written] : cases) {
        ResumeMarker marker{"tv:1", bare(SignalKind::broadcast, "1"), given, QDateTime::currentDateTimeUtc(), {}};
        const auto back = decodeList<ResumeMarker>(encodeList(QList<ResumeMarker>{marker}));
        ASSERT_TRUE(back) << given;
        EXPECT_EQ(back->first().fraction, written) << given;
    }
}

// A bad record costs only itself: the list keeps every record that reads, in order. An artwork text that is no
// absolute address (earlier builds wrote relative ones) reads as no artwork, keeping its record.
TEST(StoredJson, listsAreReadRecordByRecord)
{
    const QList<std::pair<const char*, QJsonValue>> corruptions{
        {"id", QJsonValue()},             // required text is null
        {"title", 5},                     // wrong type
        {"kind", QStringLiteral("film")}, // unknown kind
        {"kind", QStringLiteral("TV")},   // kinds are case-sensitive
        {"directURL", 42},
        {"directURL", QStringLiteral("/relative/stream.ts")},
        {"contentClassification", true},
    };
    QJsonObject second = filmObject();
    second.insert("id", "2");
    for (const auto& [key, value] : corruptions) {
        QJsonObject bad = filmObject();
        bad.insert(QLatin1StringView(key), value);
        const auto read = listFromJson<MediaNode>(QJsonArray{filmObject(), bad, second});
        ASSERT_TRUE(read) << key;
        ASSERT_EQ(read->size(), 2) << key;
        EXPECT_EQ(read->at(1).id, "2") << key;
    }
    QJsonObject missing = filmObject();
    missing.remove("groupName");
    EXPECT_EQ(listFromJson<MediaNode>(QJsonArray{missing}), QList<MediaNode>{});

    for (const QJsonValue& artwork :
         {QJsonValue(QStringLiteral("/images/2.png")), QJsonValue(QStringLiteral("not an address")), QJsonValue(7)}) {
        QJsonObject old = filmObject();
        old.insert("artwork", artwork);
        const auto read = fromJson<MediaNode>(old);
        ASSERT_TRUE(read);
        EXPECT_FALSE(read->artwork);
        EXPECT_EQ(read->title, filmObject().value("title").toString());
    }
    // A relative artwork address in memory is never written in a form that would not read back.
    MediaNode relative = *fromJson<MediaNode>(filmObject());
    relative.artwork = QUrl("/images/2.png");
    EXPECT_FALSE(toJson(relative).contains("artwork"));

    // Null or missing optionals read as absent.
    QJsonObject nulls = filmObject();
    nulls.insert("artwork", QJsonValue());
    nulls.remove("contentClassification");
    const auto read = fromJson<MediaNode>(nulls);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->artwork);
    EXPECT_FALSE(read->contentClassification);

    const QJsonObject identity{{"id", "6F9619FF-8B86-D011-B42D-00C04FC964FF"}, {"name", "Ana"}, {"glyph", "person"}};
    ASSERT_TRUE(fromJson<ViewerIdentity>(identity));
    for (const char* badId : {"not-a-uuid", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}",
                              "6F9619FF8B86D011B42D00C04FC964FF0000", ""}) {
        QJsonObject bad = identity;
        bad.insert("id", QString::fromLatin1(badId));
        EXPECT_EQ(listFromJson<ViewerIdentity>(QJsonArray{bad, identity})->size(), 1) << badId;
    }

    const QJsonObject marker = toJson(ResumeMarker{"tv:1", bare(SignalKind::broadcast, "1"), 0.5,
                                                   QDateTime::currentDateTimeUtc(), 1});
    for (const auto& [key, value] : QList<std::pair<const char*, QJsonValue>>{
             {"episodeIndex", 1.5}, {"episodeIndex", "1"}, {"fraction", "0.5"}, {"updatedAt", QJsonValue()},
             {"node", QJsonObject{{"id", "1"}}}}) {
        QJsonObject bad = marker;
        bad.insert(QLatin1StringView(key), value);
        EXPECT_EQ(listFromJson<ResumeMarker>(QJsonArray{marker, bad})->size(), 1) << key;
    }

    // Damaged on disk: a list cut short or garbled inside keeps the records that still parse on their own.
    const QByteArray one = QJsonDocument(QJsonArray{marker}).toJson(QJsonDocument::Compact).chopped(1).sliced(1);
    EXPECT_EQ(decodeList<ResumeMarker>("[" + one + "," + one.left(30))->size(), 1);
    EXPECT_EQ(decodeList<ResumeMarker>("[" + one + ",{\"id\":\"x\",\"fraction\":0.5x},\n" + one + "]")->size(), 2);
    EXPECT_EQ(decodeList<ResumeMarker>("[" + one + ",{\"id\":\"a,b}\" ,{{{}," + one + "]")->size(), 2);
    EXPECT_EQ(decodeList<ResumeMarker>("[{\"id\":")->size(), 0);
    EXPECT_FALSE(decodeList<ResumeMarker>(QJsonDocument(marker).toJson())); // an object where a list belongs
    EXPECT_FALSE(decodeList<ResumeMarker>("{\"id\": [" + one));
}

TEST(PlaybackTicket, nativeCandidateReplacesOnlyForeignContainersOfPanelFilmsAndEpisodes)
{
    EXPECT_EQ(candidate(SignalKind::cinema, "http://h:8080/movie/u/p/55.mkv"), QUrl("http://h:8080/movie/u/p/55.mp4"));
    EXPECT_EQ(candidate(SignalKind::cinema, "http://h/movie/u/p/55"), QUrl("http://h/movie/u/p/55.mp4"));
    EXPECT_EQ(candidate(SignalKind::episodic, "http://h/series/u/p/9.avi?x=1"), QUrl("http://h/series/u/p/9.mp4?x=1"));
    // Escapes in the user's name and password stay as they were.
    EXPECT_EQ(candidate(SignalKind::cinema, "http://h/movie/us%2Fer/p%2B1/55.mkv")->toString(QUrl::FullyEncoded),
              "http://h/movie/us%2Fer/p%2B1/55.mp4");

    EXPECT_FALSE(candidate(SignalKind::cinema, "http://h/movie/u/p/55.MP4"));
    EXPECT_FALSE(candidate(SignalKind::cinema, "http://h/movie/u/p/55.m3u8"));
    EXPECT_FALSE(candidate(SignalKind::cinema, "http://h/base/movie/u/p/55.mkv"));
    EXPECT_FALSE(candidate(SignalKind::cinema, "http://h/series/u/p/9.avi"));
    EXPECT_FALSE(candidate(SignalKind::cinema, "http://h/Movie/u/p/55.mkv"));
    EXPECT_FALSE(candidate(SignalKind::cinema, "http://h/movie/u/55.mkv"));
    EXPECT_FALSE(candidate(SignalKind::broadcast, "http://h/movie/u/p/55.ts"));
}

TEST(PlaybackTicket, nativeAlternativeGivesLiveTsAnM3u8TwinAndLeavesTheRestToTheFilmRule)
{
    const std::pair<const char*, const char*> live[] = {
        {"http://h.example/live/u/p/7.ts", "http://h.example/live/u/p/7.m3u8"},
        {"http://h.example/live/u/p/7.TS?token=a%2Bb", "http://h.example/live/u/p/7.m3u8?token=a%2Bb"},
        {"http://cdn.test/canal/9.TS", "http://cdn.test/canal/9.m3u8"},
        {"http://h.example/live/u/p/7.ts/", "http://h.example/live/u/p/7.m3u8/"},
        {"http://h.example/live/u/p/7.m3u8", nullptr},
        {"http://h.example/live/u/p/7.mp4", nullptr},
        {"http://h.example/live/u/p/7ts", nullptr},
        {"http://h.example/live/.ts", nullptr},
        {"http://h.example/live.ts/7", nullptr},
    };
    for (const auto& [address, native] : live) {
        const std::optional<QUrl> expected = native ? std::optional<QUrl>(QUrl(native)) : std::nullopt;
        EXPECT_EQ(alternative(SignalKind::broadcast, address), expected) << address;
    }
    // Escapes in the user's name and password stay as they were.
    EXPECT_EQ(alternative(SignalKind::broadcast, "http://h/live/us%2Fer/p%2B1/7.ts")->toString(QUrl::FullyEncoded),
              "http://h/live/us%2Fer/p%2B1/7.m3u8");

    EXPECT_EQ(alternative(SignalKind::cinema, "http://h.example/movie/u/p/9.mkv"),
              QUrl("http://h.example/movie/u/p/9.mp4"));
    EXPECT_FALSE(alternative(SignalKind::cinema, "http://h.example/movie/u/p/9.ts.mp4"));
    EXPECT_FALSE(alternative(SignalKind::episodic, "http://h.example/live/u/p/7.ts"));
}

// The compact table must give back every entry exactly as it went in, whatever its texts, through every way of
// filling it (MediaNodes, raw reader texts, joining tables whose address directories differ).
TEST(NodeTable, givesBackEveryEntryExactly)
{
    QList<MediaNode> nodes;
    nodes.append(film());
    nodes.append(bare(SignalKind::broadcast, QString())); // no texts, no addresses at all
    MediaNode empties = film(QStringLiteral("e"));
    empties.artwork = AddressText();                        // present but empty
    empties.contentClassification = QString();
    empties.fileSuffix = QString();
    nodes.append(empties);
    MediaNode huge = film(QStringLiteral("h"));
    huge.title = QString(70'000, QChar(u'ñ')) + QStringLiteral("🎬"); // longer than a text block
    nodes.append(huge);
    // More distinct directories than are shared: the rest are kept whole. Enough rows and text for a table's
    // large arrays (and each half of the join below) to be cut from huge pages.
    for (int i = 0; i < 40'000; ++i) {
        MediaNode many = film(QString::number(i));
        many.title = QStringLiteral("Título %1 ").arg(i) + QString(50 + i % 7, QChar(u'a' + i % 26));
        many.artwork = QUrl(QStringLiteral("http://cdn%1.example/p/%2/poster.jpg?v=%3").arg(i % 3).arg(i).arg(i));
        many.directURL = i % 2 ? std::nullopt : std::optional<AddressText>(QUrl(QStringLiteral("http://h/%1").arg(i)));
        many.groupName = QStringLiteral("Grupo %1").arg(i % 7);
        nodes.append(many);
    }

    const NodeTable table(nodes);
    ASSERT_EQ(table.size(), nodes.size());
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        ASSERT_EQ(table.at(i), nodes[i]) << i;
        ASSERT_EQ(NodeTable::text(table.title(i)), nodes[i].title);
        ASSERT_EQ(table.hasArtwork(i), nodes[i].artwork.has_value());
    }

    // Two tables joined (the second with other directories and groups) equal the entries joined.
    NodeTable joined(nodes.mid(0, 21'000));
    joined.append(NodeTable(nodes.mid(21'000)));
    EXPECT_EQ(joined.toList(), nodes);
    NodeTable fromEmpty;
    fromEmpty.append(NodeTable(nodes.mid(10, 20)));
    EXPECT_EQ(fromEmpty.toList(), nodes.mid(10, 20));

    // Raw UTF-8 from a reader decodes as QString::fromUtf8 does: a leading byte-order mark dropped, one inside
    // kept, characters outside the basic plane as pairs; an invalid byte becomes U+FFFD.
    NodeTable raw;
    const uint32_t group = raw.addGroup(QStringLiteral("1"), QStringLiteral("Uno"));
    for (std::string_view title : {"\xEF\xBB\xBF" "Ba\xC3\xB1o", "a\xEF\xBB\xBF" "b \xF0\x9F\x8E\xAC \xE2\x82\xAC", "plain"}) {
        NodeTable::RawNode node;
        node.id = "7";
        node.title = title;
        node.group = group;
        node.artwork = QByteArrayView("http://img.example/a/b.jpg");
        raw.append(node);
        EXPECT_EQ(NodeTable::text(raw.title(raw.size() - 1)), QString::fromUtf8(title.data(), qsizetype(title.size())));
    }
    NodeTable::RawNode broken;
    broken.id = "\xEF\xBB\xBF\xEF\xBB\xBF" "9"; // only the first mark goes
    broken.title = "a\xC3(b\xFF\xE2\x82";
    broken.group = group;
    raw.append(broken);
    EXPECT_EQ(raw.at(3).id, QStringLiteral("\uFEFF9"));
    EXPECT_EQ(raw.at(3).title, QStringLiteral("a\uFFFD(b\uFFFD\uFFFD\uFFFD"));
    EXPECT_EQ(raw.at(0).artwork, QUrl("http://img.example/a/b.jpg"));
    raw.renameGroup(group, QStringLiteral("1"), QStringLiteral("Películas"));
    EXPECT_EQ(raw.at(2).groupName, QStringLiteral("Películas"));
}

// Tables whose texts fill more blocks than a 16-bit block number counts, alone and joined (a panel's three lists
// of long names): every entry still reads back its own texts. Small blocks make as many blocks from little text.
TEST(NodeTable, readsBackEveryEntryHoweverManyBlocksItsTextsFill)
{
    struct SmallBlocks {
        SmallBlocks() { netkit::Blocks<char>::setBlockSizeForTests(64); }
        ~SmallBlocks() { netkit::Blocks<char>::setBlockSizeForTests(0); }
    } smallBlocks;
    // Id and title take 40 bytes, more than half a block: a block each. So does the rest of each poster's address.
    const auto title = [](int i) {
        return QStringLiteral("Título %1 ").arg(i, 6, 10, QChar(u'0')).leftJustified(33, u'x');
    };
    const auto poster = [](int i) {
        return QStringLiteral("http://img.example/p/%1-poster-large-format-original.jpg").arg(i, 6, 10, QChar(u'0'));
    };
    const auto filled = [&](int from, int to) {
        NodeTable table;
        const uint32_t group = table.addGroup(QStringLiteral("1"), QStringLiteral("Uno"));
        for (int i = from; i < to; ++i) {
            const QByteArray id = QByteArray::number(i).rightJustified(6, '0');
            const QByteArray name = title(i).toUtf8();
            const QByteArray artwork = poster(i).toUtf8();
            NodeTable::RawNode node;
            node.kind = SignalKind::cinema;
            node.id = std::string_view(id.constData(), size_t(id.size()));
            node.title = std::string_view(name.constData(), size_t(name.size()));
            node.group = group;
            node.artwork = QByteArrayView(artwork);
            table.append(node);
        }
        return table;
    };
    const auto readsBack = [&](const NodeTable& table, int count, const char* what) {
        ASSERT_EQ(table.size(), count) << what;
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(NodeTable::text(table.title(i)), title(i)) << what << ", entry " << i;
            ASSERT_EQ(NodeTable::text(table.id(i)), QString::number(i).rightJustified(6, u'0'))
                << what << ", entry " << i;
            ASSERT_EQ(table.at(i).artwork, QUrl(poster(i))) << what << ", entry " << i;
        }
    };
    constexpr int wrap = 65'536;
    readsBack(filled(0, wrap + 1), wrap + 1, "one table");
    for (const int count : {wrap, wrap + 1, wrap + 2}) {
        NodeTable joined = filled(0, 40'000);
        joined.append(filled(40'000, count));
        readsBack(joined, count, count == wrap ? "joined at the wrap" : "joined past the wrap");
    }
}
