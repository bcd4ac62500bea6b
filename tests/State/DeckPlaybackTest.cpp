// Details, playback tickets and resume markers of the deck, against the loopback panel.
#include "DeckFixture.h"

#include "Domain/CommandError.h"
#include "Domain/ShownText.h"
#include "Domain/StoredJson.h"
#include "Shared/PlayerSession.h"
#include "Shared/VlcEngine.h"
#include "State/CatalogSearch.h"
#include "State/CatalogSnapshot.h"
#include "State/HomeFeed.h"
#include "State/SpotlightDraw.h"
#include "Networking/Playlist/PlaylistIngestor.h"
#include "Networking/XtreamDetails.h"
#include "Networking/XtreamListReader.h"

#include "MediaClips.h"
#include "MediaServer.h"

#include "CpuClock.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QRandomGenerator>
#include <QVideoSink>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

using namespace decktest;
using sendra::testing::cpuSeconds;

namespace {

class DeckPlaybackTest : public DeckFixture
{
protected:
    static MediaNode ownAddress(SignalKind kind, const QString& id, const QString& address)
    {
        MediaNode n;
        n.kind = kind;
        n.id = id;
        n.title = "Entrada " + id;
        n.directURL = QUrl(address);
        return n;
    }

    QStringList markerKeys() const
    {
        QStringList keys;
        for (const ResumeMarker& marker : deck->resumeMarkers())
            keys.append(marker.id);
        return keys;
    }

    const ResumeMarker& front() const { return deck->resumeMarkers().front(); }

    // Opens the series and waits for its details.
    QList<QUrl> openSeries()
    {
        deck->open(node("series:20"));
        waitUntil([this] { return !deck->isLoadingBrief(); }, "the series' details are in");
        QList<QUrl> streams;
        for (const SeasonBundle& season : deck->selectedBrief().value_or(ContentBrief{}).seasons)
            for (const EpisodeNode& episode : season.episodes)
                streams.append(episode.stream);
        return streams;
    }

    QString playing() const { return deck->playback() ? deck->playback()->stream.fileName() : QString(); }
};

} // namespace

TEST_F(DeckPlaybackTest, OwnAddressesFollowTheNativeRuleAndFilmsGetAStartingMarker)
{
    deck->addIdentity("Ana", "person");
    const std::pair<const char*, const char*> live[] = {
        {"http://h.example/live/u/p/7.ts", "http://h.example/live/u/p/7.m3u8"},
        {"http://h.example/live/u/p/7.TS?token=a%2Bb", "http://h.example/live/u/p/7.m3u8?token=a%2Bb"},
        {"http://h.example/live/u/p/7.m3u8", nullptr},
    };
    for (const auto& [address, native] : live) {
        deck->play(ownAddress(SignalKind::broadcast, "7", address));
        ASSERT_TRUE(deck->playback()) << address;
        const PlaybackTicket& ticket = *deck->playback();
        EXPECT_EQ(ticket.stream, QUrl(address));
        EXPECT_EQ(ticket.nativeStream, native ? std::optional<QUrl>(QUrl(native)) : std::nullopt) << address;
        EXPECT_TRUE(ticket.episodes.isEmpty());
        EXPECT_EQ(ticket.episodeIndex, 0);
        EXPECT_EQ(ticket.resumeFraction, 0);
    }
    EXPECT_TRUE(deck->resumeMarkers().isEmpty()) << "live channels get no markers";

    deck->play(ownAddress(SignalKind::cinema, "9", "http://h.example/movie/u/p/9.mkv"));
    EXPECT_EQ(deck->playback()->nativeStream, QUrl("http://h.example/movie/u/p/9.mp4"));
    ASSERT_EQ(markerKeys(), QStringList{"movies:9"});
    EXPECT_EQ(front().fraction, 0.01);
    EXPECT_EQ(front().episodeIndex, 0);

    // Without a panel session an entry without its own address cannot play; the last playback is gone by then.
    MediaNode bare = ownAddress(SignalKind::cinema, "8", {});
    bare.directURL.reset();
    deck->play(bare);
    EXPECT_FALSE(deck->playback());
    EXPECT_EQ(deck->playbackMessage(), spanishMessage(CommandError::playbackUnavailable));
    deck->resume(ResumeMarker{"movies:8", bare, 0.5, now, std::nullopt});
    EXPECT_EQ(deck->playbackMessage(), spanishMessage(CommandError::playbackUnavailable));

    // A playlist entry resumes at its own address, its start clamped below the end.
    const MediaNode film = ownAddress(SignalKind::cinema, "9", "http://h.example/movie/u/p/9.mkv");
    deck->resume(ResumeMarker{"movies:9", film, 0.97, now, 0});
    ASSERT_TRUE(deck->playback());
    EXPECT_EQ(deck->playback()->resumeFraction, 0.94);
    EXPECT_EQ(deck->playbackMessage(), std::nullopt);
}

TEST_F(DeckPlaybackTest, ALateDetailsLoadIsNeverShownForAnotherEntry)
{
    connectPanel();
    const MediaNode filmA = node("movies:10");
    const MediaNode filmB = node("movies:11");
    panel.answer("get_vod_info", [](const RecordedRequest& request) {
        const std::string id = request.queryValue("vod_id").value_or("");
        Reply reply = Reply::json(R"({"info":{"plot":"Trama )" + id + R"("}})");
        return id == "10" ? std::move(reply).held() : std::move(reply);
    });

    deck->open(filmA);
    EXPECT_EQ(deck->selectedBrief()->synopsis, "") << "a film shows empty details while they load";
    EXPECT_TRUE(deck->isLoadingBrief());
    waitForHeld(panel);
    deck->open(filmB);
    waitUntil([this] { return !deck->isLoadingBrief(); }, "B's details are in");
    panel.release();
    idle();
    EXPECT_EQ(deck->selectedNode(), filmB);
    EXPECT_EQ(deck->selectedBrief()->synopsis, "Trama 11");
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_EQ(deck->playbackMessage(), std::nullopt);

    // B's details are cached: shown at once, no request. A's cancelled load cached nothing.
    const auto asked = [this] { return panel.requestsFor("get_vod_info").size(); };
    const std::size_t before = asked();
    deck->open(filmB);
    EXPECT_FALSE(deck->isLoadingBrief());
    EXPECT_EQ(deck->selectedBrief()->synopsis, "Trama 11");
    EXPECT_EQ(asked(), before);

    // A failed load shows empty details without a message and caches nothing.
    panel.answer("get_vod_info", Reply::empty(500));
    deck->open(filmA);
    waitUntil([this] { return !deck->isLoadingBrief(); }, "A's load fails");
    EXPECT_EQ(deck->selectedBrief()->synopsis, "");
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    sendra::testing::serveSmallCatalogue(panel, deckCatalogue);
    deck->open(filmA);
    EXPECT_TRUE(deck->isLoadingBrief()) << "nothing was cached";
    waitUntil([this] { return !deck->isLoadingBrief(); }, "A's details are in");
    EXPECT_EQ(deck->selectedBrief()->synopsis, "Trama 10");

    // A series shows no details until they are in; a live channel only plays.
    deck->open(node("series:20"));
    EXPECT_FALSE(deck->selectedBrief());
    waitUntil([this] { return !deck->isLoadingBrief(); }, "the series' details are in");
    EXPECT_EQ(deck->selectedBrief()->seasons.size(), 2);
    deck->open(node("tv:1"));
    EXPECT_EQ(deck->selectedNode(), node("series:20"));
    EXPECT_EQ(playing(), "1.ts");
}

TEST_F(DeckPlaybackTest, ALookupCancelledByTheUsersNextActionShowsNothing)
{
    connectPanel();
    const MediaNode series = node("series:20");

    // Uncancelled, an unusable answer is a playback failure...
    panel.answer("get_series_info", Reply::json("{}"));
    deck->play(series);
    waitUntil([this] { return deck->playbackMessage().has_value(); }, "the lookup fails");
    EXPECT_EQ(deck->playbackMessage(), spanishMessage(CommandError::playbackUnavailable));

    // ...but closing the player while it is on its way leaves nothing to show.
    panel.answer("get_series_info", Reply::json("{}").held());
    deck->play(series);
    EXPECT_EQ(deck->playbackMessage(), std::nullopt);
    waitForHeld(panel);
    deck->closePlayback(0);
    panel.release();
    idle();
    EXPECT_FALSE(deck->playback());
    EXPECT_EQ(deck->playbackMessage(), std::nullopt);

    // A film played meanwhile stays, and so does after a resume overtaken by a close.
    sendra::testing::serveSmallCatalogue(panel, deckCatalogue);
    panel.answer("get_series_info", Reply::json("{}").held());
    deck->play(series);
    waitForHeld(panel);
    deck->play(node("movies:10"));
    deck->resume(ResumeMarker{"series:20", series, 0.5, now, 1});
    waitUntil([this] { return panel.heldCount() == 2; }, "the resume's lookup is held");
    deck->closePlayback(0.2);
    panel.release();
    idle();
    EXPECT_FALSE(deck->playback());
    EXPECT_EQ(deck->playbackMessage(), std::nullopt);
    EXPECT_EQ(markerKeys(), (QStringList{"movies:10"})) << "the film closed at 0.2";
    EXPECT_EQ(front().fraction, 0.2);
    EXPECT_EQ(front().episodeIndex, std::nullopt);
}

TEST_F(DeckPlaybackTest, EpisodesAdvanceWithinTheListAndPlaybackStaysWhereItIs)
{
    connectPanel();
    const QList<QUrl> episodes = openSeries();
    ASSERT_EQ(episodes.size(), 5);

    // An episode outside the details does nothing.
    deck->playEpisode(EpisodeNode{"999", 1, "", QUrl("http://elsewhere.example/series/x.mkv")});
    EXPECT_FALSE(deck->playback());
    EXPECT_TRUE(deck->selectedNode());

    deck->playEpisode(deck->selectedBrief()->seasons[0].episodes[1]);
    ASSERT_TRUE(deck->playback());
    EXPECT_FALSE(deck->selectedNode()) << "the sheet closes";
    EXPECT_EQ(deck->playback()->node, node("series:20"));
    EXPECT_EQ(deck->playback()->episodes, episodes);
    EXPECT_EQ(deck->playback()->episodeIndex, 1);
    EXPECT_EQ(playing(), "202.mkv");
    EXPECT_EQ(deck->playback()->nativeStream->fileName(), "202.mp4");
    EXPECT_EQ(front().episodeIndex, 1);

    const auto ticketId = [this] { return deck->playback()->id; };
    deck->advanceEpisode(-1);
    EXPECT_EQ(playing(), "201.mkv");
    QUuid id = ticketId();
    deck->advanceEpisode(-1);
    EXPECT_EQ(ticketId(), id) << "nothing before the first episode";
    deck->advanceEpisode(4);
    EXPECT_EQ(playing(), "205.mkv");
    id = ticketId();
    deck->advanceEpisode(1);
    EXPECT_EQ(ticketId(), id) << "nothing after the last episode";

    // Minimising at 0 only moves the playback; advancing keeps it in the floating window.
    deck->minimizePlayback(0);
    EXPECT_EQ(ticketId(), id);
    EXPECT_TRUE(deck->playbackMinimized());
    deck->advanceEpisode(-1);
    EXPECT_EQ(deck->playback()->episodeIndex, 3);
    EXPECT_TRUE(deck->playbackMinimized());
    EXPECT_EQ(front().episodeIndex, 3);
    EXPECT_EQ(front().fraction, 0.01);

    // At 0.99 the ticket is issued again just before its end, and the series counts as finished.
    deck->minimizePlayback(0.99);
    EXPECT_NE(ticketId(), id);
    EXPECT_EQ(deck->playback()->resumeFraction, 0.94);
    EXPECT_TRUE(deck->resumeMarkers().isEmpty());
    deck->restorePlayback(std::nan(""));
    EXPECT_FALSE(deck->playbackMinimized()) << "a progress that is no number only moves the playback";
    EXPECT_EQ(deck->playback()->resumeFraction, 0.94);
    deck->restorePlayback(0.5);
    EXPECT_EQ(deck->playback()->resumeFraction, 0.5);
    EXPECT_EQ(front().fraction, 0.5);
    EXPECT_EQ(front().episodeIndex, 3);
}

TEST_F(DeckPlaybackTest, ResumingPicksTheMarkersEpisodeAndClampsItsStart)
{
    connectPanel();
    const MediaNode series = node("series:20");
    const auto resumeAndWait = [this](const ResumeMarker& marker) {
        deck->closePlayback(0);
        deck->resume(marker);
        waitUntil([this] { return deck->playback().has_value() || deck->playbackMessage(); }, "the resume ends");
    };

    resumeAndWait(ResumeMarker{"series:20", series, 0.3, now, 3});
    EXPECT_EQ(playing(), "204.mkv");
    EXPECT_EQ(deck->playback()->episodeIndex, 3);
    EXPECT_EQ(deck->playback()->episodes.size(), 5);
    EXPECT_EQ(deck->playback()->resumeFraction, 0.3);
    resumeAndWait(ResumeMarker{"series:20", series, 0.3, now, 7});
    EXPECT_EQ(playing(), "201.mkv") << "an index outside the list falls back to the ticket's own";
    EXPECT_EQ(deck->playback()->episodeIndex, 0);

    resumeAndWait(ResumeMarker{"movies:10", node("movies:10"), -0.2, now, std::nullopt});
    EXPECT_EQ(playing(), "10.mkv");
    EXPECT_EQ(deck->playback()->resumeFraction, 0);
    EXPECT_FALSE(deck->playbackMinimized());
    EXPECT_EQ(deck->playbackMessage(), std::nullopt);
}

TEST_F(DeckPlaybackTest, TheNewestThirtyMarkersSurviveARestart)
{
    const auto film = [](int i) {
        MediaNode n;
        n.kind = SignalKind::cinema;
        n.id = QString::number(i);
        n.title = "Película " + n.id;
        return n;
    };
    deck->addResume(film(99), 0.5, std::nullopt);
    EXPECT_TRUE(deck->resumeMarkers().isEmpty()) << "no identity, no marker";

    deck->addIdentity("Ana", "person");
    const ViewerIdentity ana = *deck->activeIdentity();
    for (int i = 0; i <= 30; ++i) {
        now = now.addSecs(60);
        deck->addResume(film(i), 0.5, std::nullopt);
    }
    ASSERT_EQ(deck->resumeMarkers().size(), 31) << "the list in memory is not shortened";
    EXPECT_EQ(front().id, "movies:30");
    const auto stored = vaults.front()->decode<QList<ResumeMarker>>("resume." + uuidText(ana.id));
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 30);
    EXPECT_EQ(stored->front().id, "movies:30");
    EXPECT_EQ(stored->back().id, "movies:1");

    // Fractions: at least 0.01, and 0.95 counts as finished; one that is no number counts as 0.
    deck->addResume(film(1), 0.005, std::nullopt);
    EXPECT_EQ(front().fraction, 0.01);
    deck->addResume(film(2), 0.949, std::nullopt);
    EXPECT_EQ(front().fraction, 0.949);
    deck->addResume(film(2), 0.95, std::nullopt);
    EXPECT_FALSE(markerKeys().contains("movies:2"));
    deck->addResume(film(3), std::nan(""), 2);
    EXPECT_EQ(front().id, "movies:3");
    EXPECT_EQ(front().fraction, 0.01);
    EXPECT_EQ(front().episodeIndex, 2);
    const QStringList newest = markerKeys().first(30);

    CommandVault& reopened = openVault();
    const std::unique_ptr<CommandDeck> restarted = makeDeck(reopened);
    restarted->selectIdentity(ana);
    QStringList keys;
    for (const ResumeMarker& marker : restarted->resumeMarkers())
        keys.append(marker.id);
    EXPECT_EQ(keys, newest);
}

// Panels give their pictures as paths of their own; a resume list holding such an entry must still read back.
TEST_F(DeckPlaybackTest, EntriesWithRelativePicturesKeepTheirResumePointsAcrossARestart)
{
    panel.answer("get_vod_streams", Reply::json(R"([
        {"stream_id":10,"name":"Película A","category_id":"5","stream_icon":"/images/10.png"},
        {"stream_id":11,"name":"Película B","category_id":"5","cover":"portadas/11.jpg"},
        {"stream_id":12,"name":"Película C","category_id":"5","stream_icon":"javascript:void 0"}])"));
    connectPanel();
    const ViewerIdentity ana = *deck->activeIdentity();
    const QString base = panel.baseUrl().toString();
    EXPECT_EQ(node("movies:10").artwork, QUrl(base + "/images/10.png"));
    EXPECT_EQ(node("movies:11").artwork, QUrl(base + "/portadas/11.jpg"));
    EXPECT_EQ(node("movies:12").artwork, std::nullopt);

    for (const char* key : {"movies:10", "movies:11", "movies:12"}) {
        now = now.addSecs(60);
        deck->addResume(node(key), 0.5, std::nullopt);
    }
    // An entry whose artwork address the stored form refuses keeps its marker, without the artwork.
    MediaNode unstorable = node("movies:12");
    unstorable.id = "13";
    unstorable.artwork = QUrl("relativa.png");
    now = now.addSecs(60);
    deck->addResume(unstorable, 0.5, std::nullopt);
    ASSERT_EQ(deck->resumeMarkers().size(), 4);

    CommandVault& reopened = openVault();
    const std::unique_ptr<CommandDeck> restarted = makeDeck(reopened);
    restarted->selectIdentity(ana);
    QList<MediaNode> kept;
    for (const ResumeMarker& marker : restarted->resumeMarkers())
        kept.append(marker.node);
    unstorable.artwork.reset();
    EXPECT_EQ(kept, (QList<MediaNode>{unstorable, node("movies:12"), node("movies:11"), node("movies:10")}));
}

// A marker keeps its entry's title as shown; the centre must still keep off an entry whose whole title holds an
// adult keyword past that part.
TEST_F(DeckPlaybackTest, AMarkerCutBeforeItsTitlesAdultKeywordStaysOffTheCentre)
{
    const std::string padding(3000, 'a');
    panel.answer("get_vod_streams", Reply::json(R"([{"stream_id":10,"name":"Película )" + padding +
                                                R"( xxx","category_id":"5"},{"stream_id":11,"name":"Película )" +
                                                padding + R"(","category_id":"5"}])"));
    connectPanel();
    for (const char* key : {"movies:10", "movies:11"})
        deck->addResume(node(key), 0.5, std::nullopt);
    EXPECT_EQ(markerKeys(), QStringList{"movies:11"});
    ASSERT_EQ(deck->centerResumeMarkers().size(), 1);
    EXPECT_EQ(deck->centerResumeMarkers().front().node.title, shownText(node("movies:11").title));
}

TEST_F(DeckPlaybackTest, ASeriesPlayedThroughTheWindowsIsFoundAgainAfterARestart)
{
    connectPanel();
    const ViewerIdentity ana = *deck->activeIdentity();
    const QList<QUrl> episodes = openSeries();
    deck->playEpisode(deck->selectedBrief()->seasons[0].episodes[2]);
    deck->advanceEpisode(1);
    deck->minimizePlayback(0.3);
    EXPECT_TRUE(deck->playbackMinimized());
    deck->restorePlayback(0.4);
    EXPECT_FALSE(deck->playbackMinimized());
    EXPECT_EQ(deck->playback()->resumeFraction, 0.4);
    deck->closePlayback(0.6);
    EXPECT_FALSE(deck->playback());

    CommandVault& reopened = openVault();
    const std::unique_ptr<CommandDeck> restarted = makeDeck(reopened);
    restarted->selectIdentity(ana);
    ASSERT_EQ(restarted->resumeMarkers().size(), 1);
    const ResumeMarker& marker = restarted->resumeMarkers().front();
    EXPECT_EQ(marker.id, "series:20");
    EXPECT_EQ(marker.fraction, 0.6);
    EXPECT_EQ(marker.episodeIndex, 3);
    EXPECT_EQ(marker.node, node("series:20"));
    EXPECT_EQ(marker.updatedAt, now);
    EXPECT_EQ(episodes.at(*marker.episodeIndex).fileName(), "204.mkv");
}

TEST_F(DeckPlaybackTest, ADeckGoingAwayLeavesItsTasksInFlightHarmless)
{
    publish(7, 3);
    connectPanel(true);
    MediaNode series;
    series.kind = SignalKind::episodic;
    series.id = "20";
    panel.answer("get_vod_info", Reply::json("{}").held());
    panel.answer("get_series_info", Reply::json("{}").held());
    platform.route("GET", "/api/catalog/calvenor/manifest", Reply::json("{}").held());
    deck->open(node("movies:101"));
    deck->resume(ResumeMarker{"series:20", series, 0.5, now, 1});
    deck->refreshCatalog();
    waitUntil([this] { return panel.heldCount() == 2 && platform.heldCount() == 1; }, "all three are held");
    deck.reset();
    panel.release();
    platform.release();
    idle(300);
}

// A long run of each script whose breaking is special (a letter's marks out of canonical order, Thai, Lao, Khmer,
// Myanmar, ideographs, conjoining jamo, joined emoji, flags, bidi controls) as a title, a group title, a category
// name and a synopsis goes from the source to the ticket, the resume marker and the next start-up: every step takes
// about four times as long for four times the text. Ordering marks with ICU's normalisation reordered the run by
// insertion, and the home feed's look at a Thai group name went through Qt's word breaker over the whole name: both
// sixteen times as long.
TEST_F(DeckPlaybackTest, LongRunsOfEveryScriptTakeLinearTimeFromTheSourceToTheNextStartUp)
{
    deck->addIdentity("Ana", "person");
    const ViewerIdentity ana = *deck->activeIdentity();
#ifdef __SANITIZE_ADDRESS__
    // Under the address sanitizer every realloc copies, so Qt's settings writer, which grows its buffer by steps,
    // takes time quadratic in the stored resume marker's title there (not with the C library's realloc): the steps
    // are walked with a shorter run and not timed.
    constexpr qsizetype units = 2'500;
    constexpr bool timed = false;
#else
    constexpr qsizetype units = 25'000; // UTF-16 units of the shorter run
    constexpr bool timed = true;
#endif
    const struct {
        const char* name;
        QString start;
        QString repeated;
    } samples[] = {
        {"marks", QStringLiteral("a"), QStringLiteral("\u0301\u0316\u0327\U0001D167")},
        {"Thai", {}, QStringLiteral("\u0E01")},
        {"Lao", {}, QStringLiteral("\u0E81\u0EB2")},
        {"Khmer", {}, QStringLiteral("\u1780\u17D2\u1781\u17B6")},
        {"Myanmar", {}, QStringLiteral("\u1000\u1039\u1001\u102C")},
        {"ideographs", {}, QStringLiteral("\u4E2D\u6587\U00020000")},
        {"jamo", {}, QStringLiteral("\u1100\u1161\u11A8\u1100")},
        {"joined emoji", QStringLiteral("Quokka "), QStringLiteral("\U0001F468\u200D")},
        {"flags", {}, QStringLiteral("\U0001F1EA\U0001F1F8")},
        {"bidi controls", {}, QStringLiteral("\u202Eab\u202C\u2067\u05D0\u2069\u200F")},
    };
    enum Step { reading, preparation, search, details, ticket, marker, startUp, steps };
    const char* const stepNames[] = {"reading", "preparation", "search", "details", "ticket", "marker", "start-up"};
    const ProviderSession source{QUrl("http://h.example"), "u", "p"};
    const auto jsonOf = [](const QJsonValue& value) {
        return value.isArray() ? QJsonDocument(value.toArray()).toJson() : QJsonDocument(value.toObject()).toJson();
    };
    const auto journey = [&](const QString& text, const QString& query, double* seconds) {
        const QByteArray playlist = "#EXTM3U\n#EXTINF:-1 group-title=\"Deportes\",Uno\nhttp://h.example/live/u/p/1.ts\n"
                                    "#EXTINF:-1 group-title=\"" +
                                    text.toUtf8() + "\"," + text.toUtf8() + "\nhttp://h.example/movie/u/p/2.mkv\n";
        const QByteArray categories = jsonOf(QJsonArray{QJsonObject{{"category_id", "1"}, {"category_name", "Cine"}},
                                                        QJsonObject{{"category_id", "2"}, {"category_name", text}}});
        const QByteArray streams =
            jsonOf(QJsonArray{QJsonObject{{"stream_id", 1}, {"name", "Uno"}, {"category_id", "1"}},
                              QJsonObject{{"stream_id", 2}, {"name", "Dos"}, {"category_id", "2"}}});
        const QByteArray brief = jsonOf(QJsonObject{{"info", QJsonObject{{"plot", text}}}});

        double start = cpuSeconds();
        NodeTable table = PlaylistIngestor::parseTable(playlist);
        NodeTable panelTable =
            xtream::readStreamTable(streams, SignalKind::cinema, xtream::readCategoryMap(categories), source.origin);
        seconds[reading] = cpuSeconds() - start;
        ASSERT_EQ(table.size(), 2);

        start = cpuSeconds();
        const auto snapshot = CatalogSnapshot::build(std::move(table), {}, false);
        const auto panelSnapshot = CatalogSnapshot::build(std::move(panelTable), {}, false);
        for (const auto& prepared : {snapshot, panelSnapshot}) {
            QRandomGenerator random(5);
            ASSERT_EQ(drawSpotlight(*prepared, 9, {}, random).size(), 2u);
            ASSERT_TRUE(materialize(*prepared, planFeed(*prepared, NodeView::allEntries(prepared))).spotlight);
        }
        seconds[preparation] = cpuSeconds() - start;
        ASSERT_EQ(snapshot->visibleCount(), 2u);
        ASSERT_EQ(panelSnapshot->groups().size(), 2);
        MediaNode film = snapshot->node(snapshot->entries().positionOfTitleRank(0));
        if (film.title != text)
            film = snapshot->node(snapshot->entries().positionOfTitleRank(1));
        ASSERT_EQ(film.title, text);
        ASSERT_EQ(film.groupName, text);
        ASSERT_EQ(snapshot->groups().size(), 2);

        start = cpuSeconds();
        CatalogSearch searcher(snapshot);
        for (const QString& wanted : {query, text})
            ASSERT_EQ(searcher.results(wanted).size(), 1) << wanted.size();
        seconds[search] = cpuSeconds() - start;

        start = cpuSeconds();
        deck->open(film);
        ASSERT_EQ(xtream::readBrief(brief, SignalKind::cinema, source).synopsis, text);
        seconds[details] = cpuSeconds() - start;
        ASSERT_EQ(deck->selectedNode()->title, text);

        start = cpuSeconds();
        deck->play(film);
        seconds[ticket] = cpuSeconds() - start;
        ASSERT_TRUE(deck->playback());
        ASSERT_EQ(deck->playback()->node.title, text);

        start = cpuSeconds();
        deck->closePlayback(0.5);
        seconds[marker] = cpuSeconds() - start;
        ASSERT_EQ(front().id, film.catalogKey());
        ASSERT_EQ(front().fraction, 0.5);
        ASSERT_EQ(front().node.title, shownText(text));

        start = cpuSeconds();
        const std::unique_ptr<CommandDeck> restarted = makeDeck(openVault());
        restarted->selectIdentity(ana);
        seconds[startUp] = cpuSeconds() - start;
        ASSERT_EQ(restarted->resumeMarkers().size(), 1);
        EXPECT_EQ(restarted->resumeMarkers().front().id, film.catalogKey());
        EXPECT_EQ(restarted->resumeMarkers().front().fraction, 0.5);
        EXPECT_EQ(restarted->resumeMarkers().front().node.title, shownText(text));
    };
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.name);
        const qsizetype repeats = units / sample.repeated.size();
        double small[steps];
        double large[steps];
        std::fill(std::begin(small), std::end(small), std::numeric_limits<double>::infinity());
        std::fill(std::begin(large), std::end(large), std::numeric_limits<double>::infinity());
        for (int round = 0; round < (timed ? 5 : 1); ++round) {
            for (auto [times, best] : {std::pair{repeats, small}, std::pair{4 * repeats, large}}) {
                double seconds[steps];
                journey(sample.start + sample.repeated.repeated(times),
                        sample.start.isEmpty() ? sample.repeated.repeated(3) : sample.start, seconds);
                if (HasFatalFailure())
                    return;
                for (int s = 0; s < steps; ++s)
                    best[s] = std::min(best[s], seconds[s]);
            }
        }
        if (!timed)
            continue;
        // Steps too short to time well count as a millisecond.
        for (int s = 0; s < steps; ++s)
            EXPECT_LT(large[s] / std::max(small[s], 1e-3), 8)
                << sample.name << ", " << stepNames[s] << ": " << small[s] << " s, then " << large[s] << " s";
    }
}

// A film in a transport stream has no length over HTTP, and libvlc's position is then the share of bytes read,
// which runs well ahead of the picture on a short film. Closed before its end, it must keep where the viewer was,
// in the list and after a restart, and go on from there when resumed.
TEST_F(DeckPlaybackTest, AFilmWithoutALengthKeepsWhereItWasLeftAcrossARestart)
{
    using playback::PlayerSession;
    constexpr double filmSeconds = 8.0;
    const QByteArray clip = sendra::testing::mediaClip(sendra::testing::Clip::ts);
    ASSERT_FALSE(clip.isEmpty()) << "ffmpeg could not make the test clip";
    playback::VlcEngine::setInstanceArguments({QStringLiteral("--aout=adummy")});
    sendra::testing::MediaServer media;
    media.serveFile("/movie/u/p/31.ts", clip, "video/mp2t");
    deck->addIdentity("Ana", "person");
    const ViewerIdentity ana = *deck->activeIdentity();
    const MediaNode film = ownAddress(SignalKind::cinema, "31", media.url("/movie/u/p/31.ts").toString());

    QNetworkAccessManager network;
    QVideoSink sink;
    // Plays the deck's ticket as the player's host does, for as long as `playing` holds after the first picture:
    // the last reported fraction goes to the deck at the close. Gives the play time shown at the close.
    const auto playTicket = [&](const std::function<bool(const PlayerSession&, qint64)>& playing) {
        const PlaybackTicket ticket = *deck->playback();
        const orrinth::CatalogItem item(film.id, film.title, {}, {}, std::nullopt, "ts", orrinth::ContentKind::movie,
                                        film.directURL);
        PlayerSession session(orrinth::PlaybackRequest(item, ticket.stream, {}, 0, ticket.resumeFraction), &network);
        double progress = ticket.resumeFraction;
        QObject::connect(&session, &PlayerSession::progressReported,
                         [&progress](double fraction) { progress = fraction; });
        session.attachVideoSink(&sink);
        EXPECT_TRUE(QTest::qWaitFor([&] { return session.videoStarted(); }, 15000)) << "the film did not play";
        QElapsedTimer since;
        since.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !playing(session, since.elapsed()); }, 15000));
        const double elapsed = session.elapsedSeconds();
        EXPECT_FALSE(session.showsTimeRow()) << "a stream without a length shows no times";
        session.close();
        deck->closePlayback(progress);
        return elapsed;
    };

    deck->play(film);
    const double left =
        playTicket([](const PlayerSession& session, qint64) { return session.elapsedSeconds() <= 6.5; });
    ASSERT_GT(left, 6.5);
    ASSERT_TRUE(markerKeys().contains("movies:31")) << "the film counted as finished";
    const double kept = front().fraction;
    EXPECT_NEAR(kept * filmSeconds, left, 0.6);

    CommandVault& reopened = openVault();
    deck = makeDeck(reopened);
    deck->selectIdentity(ana);
    ASSERT_EQ(markerKeys(), QStringList{"movies:31"});
    EXPECT_EQ(front().fraction, kept);

    // Resumed for a moment: it went on from there, not from the start.
    deck->resume(front());
    ASSERT_TRUE(deck->playback());
    playTicket([](const PlayerSession&, qint64 shown) { return shown < 500; });
    ASSERT_EQ(markerKeys(), QStringList{"movies:31"});
    EXPECT_GE(front().fraction, kept - 0.01);
    EXPECT_LT(front().fraction * filmSeconds, left + 1.5);
}
