#include "Networking/XtreamTransport.h"

#include "AwaitOutcome.h"
#include "Networking/XtreamListReader.h"
#include "catalog-gen/CatalogGenerator.h"
#include "catalog-gen/QJsonListReader.h"
#include "fakes/FakeXtreamPanel.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <gtest/gtest.h>

using namespace sendra;
using namespace std::chrono_literals;
using sendra::fakes::FakeXtreamPanel;
using sendra::fakes::RecordedRequest;
using sendra::fakes::Reply;
using sendra::testkit::awaitOutcome;
using sendra::testkit::CatalogGenerator;
using sendra::testkit::CatalogShape;
using sendra::testkit::PanelKind;

namespace {

class XtreamTransportTest : public ::testing::Test
{
protected:
    QNetworkAccessManager manager;
    XtreamTransport transport{netkit::HttpSession(&manager)};
    FakeXtreamPanel panel;

    ProviderSession session(const QString& user = "demo", const QString& secret = "s3cret") const
    {
        return ProviderSession::create(panel.baseUrl(), user, secret);
    }

    MediaNode entry(SignalKind kind, const QString& id, const QString& suffix = {}) const
    {
        MediaNode node;
        node.id = id;
        node.title = "Entrada " + id;
        node.kind = kind;
        node.fileSuffix = suffix;
        return node;
    }

    std::optional<CommandError> authenticateWith(std::string accountBody, int status = 200)
    {
        panel.answer("", Reply::json(std::move(accountBody), status));
        return awaitOutcome(transport.authenticate(session(), {})).commandError();
    }

    ContentBrief details(const MediaNode& node, const std::string& action, std::string body)
    {
        panel.answer(action, Reply::json(std::move(body)));
        auto outcome = awaitOutcome(transport.details(node, session(), {}));
        EXPECT_TRUE(outcome.value.has_value());
        return outcome.value.value_or(ContentBrief{});
    }
};

std::vector<QString> titles(const QList<EpisodeNode>& episodes)
{
    std::vector<QString> out;
    for (const EpisodeNode& episode : episodes)
        out.push_back(episode.title);
    return out;
}

} // namespace

TEST_F(XtreamTransportTest, AuthenticationAcceptsOnlyAuthOne)
{
    for (const char* auth : {"1", "\"1\"", "true", "1.0"}) {
        SCOPED_TRACE(auth);
        EXPECT_EQ(authenticateWith(std::string(R"({"user_info":{"auth":)") + auth + "}}"), std::nullopt);
    }
    for (const char* reply : {R"({"user_info":{"auth":0}})", R"({"user_info":{"auth":" 1"}})", R"({"user_info":{"auth":"true"}})",
                              R"({"user_info":{"auth":null}})", R"({"user_info":[{"auth":1}]})", R"({"server_info":{}})"}) {
        SCOPED_TRACE(reply);
        EXPECT_EQ(authenticateWith(reply), CommandError::invalidCredentials);
    }
    EXPECT_EQ(authenticateWith(R"({"user_info":{"auth":1}})", 401), CommandError::invalidResponse);
    EXPECT_EQ(authenticateWith(R"({"user_info":{"auth":1}})", 503), CommandError::invalidResponse);
    EXPECT_EQ(authenticateWith(R"([{"user_info":{"auth":1}}])"), CommandError::invalidResponse);

    panel.answer("", Reply::text("<html>Panel</html>"));
    EXPECT_TRUE(awaitOutcome(transport.authenticate(session(), {})).threw<netkit::JsonError>());

    const RecordedRequest request = panel.requestsFor("").back();
    EXPECT_EQ(request.queryItems(), (std::vector<fakes::Header>{{"username", "demo"}, {"password", "s3cret"}}));
}

// The fake reads the query as PHP does: a "+" sent raw would reach it as a blank and fail the check.
TEST_F(XtreamTransportTest, CredentialsReachThePanelExactly)
{
    const QString user = QStringLiteral(" José Ñ ");
    const QString secret = QStringLiteral("p+ss w&rd=%2B#/é");
    panel.setCredentials(user.toStdString(), secret.toStdString());
    auto accepted = awaitOutcome(transport.authenticate(session(user, secret), {}));
    EXPECT_FALSE(accepted.error);
    EXPECT_EQ(awaitOutcome(transport.authenticate(session(user, "p ss w&rd=%2B#/é"), {})).commandError(),
              CommandError::invalidCredentials);
}

TEST_F(XtreamTransportTest, UniverseJoinsTheThreeKindsInOrder)
{
    const CatalogGenerator generator(CatalogShape{.seed = 5, .categories = 30, .brokenEvery = 50});
    const std::pair<PanelKind, SignalKind> kinds[] = {{PanelKind::Live, SignalKind::broadcast},
                                                      {PanelKind::Vod, SignalKind::cinema},
                                                      {PanelKind::Series, SignalKind::episodic}};
    const std::pair<std::string, std::string> actions[] = {{"get_live_streams", "get_live_categories"},
                                                           {"get_vod_streams", "get_vod_categories"},
                                                           {"get_series", "get_series_categories"}};
    const int counts[] = {400, 3000, 250};
    QList<MediaNode> expected;
    for (int k = 0; k < 3; ++k) {
        const QByteArray streams = generator.streams(kinds[k].first, counts[k]);
        const QByteArray categories = generator.categories(kinds[k].first);
        panel.answer(actions[k].first, Reply::json(streams.toStdString()));
        panel.answer(actions[k].second, Reply::json(categories.toStdString()).after(k == 1 ? 150ms : 0ms));
        expected += testkit::readStreamListWithQJson(streams, kinds[k].second, xtream::readCategoryMap(categories));
    }
    auto outcome = awaitOutcome(transport.universe(session(), {}));
    ASSERT_TRUE(outcome.value) << outcome.commandError().has_value();
    EXPECT_EQ(outcome.value->size(), generator.expectedEntries(400) + generator.expectedEntries(3000)
                                         + generator.expectedEntries(250));
    EXPECT_TRUE(*outcome.value == expected);
    EXPECT_EQ(outcome.value->first().kind, SignalKind::broadcast);
    EXPECT_EQ(outcome.value->last().kind, SignalKind::episodic);
    for (const auto& [streams, categories] : actions) {
        EXPECT_EQ(panel.requestsFor(streams).size(), 1u);
        EXPECT_EQ(panel.requestsFor(categories).size(), 1u);
    }
}

TEST_F(XtreamTransportTest, CategoryFailuresOnlyCostGroupNames)
{
    panel.answer("get_vod_streams", Reply::json(R"([{"stream_id":1,"name":"A","category_id":"3"},
                                                   {"stream_id":2,"name":"B","category_id":"3","category_name":"Propia"}])"));
    panel.answer("get_vod_categories", Reply::text("<html>error</html>", 500));
    panel.answer("get_live_categories", Reply::json("{}"));
    panel.answer("get_series_categories", Reply::json("not json"));
    auto outcome = awaitOutcome(transport.universe(session(), {}));
    ASSERT_TRUE(outcome.value);
    ASSERT_EQ(outcome.value->size(), 2);
    EXPECT_EQ((*outcome.value)[0].groupName, "Contenido");
    EXPECT_EQ((*outcome.value)[0].groupID, "3");
    EXPECT_EQ((*outcome.value)[1].groupName, "Propia");
}

TEST_F(XtreamTransportTest, UniverseFailures)
{
    // Empty panel.
    EXPECT_EQ(awaitOutcome(transport.universe(session(), {})).commandError(), CommandError::emptyCatalog);
    // Elements without id or name only.
    panel.answer("get_series", Reply::json(R"([{"name":"sin id"},{"series_id":3,"name":""}])"));
    EXPECT_EQ(awaitOutcome(transport.universe(session(), {})).commandError(), CommandError::emptyCatalog);

    panel.answer("get_vod_streams", Reply::json(R"([{"stream_id":1,"name":"Bien"}])"));
    panel.answer("get_live_streams", Reply::empty(500));
    EXPECT_EQ(awaitOutcome(transport.universe(session(), {})).commandError(), CommandError::invalidResponse);

    panel.answer("get_live_streams", Reply::json(R"([{"stream_id":1,"name":"a"},null])"));
    EXPECT_EQ(awaitOutcome(transport.universe(session(), {})).commandError(), CommandError::invalidResponse);

    panel.answer("get_live_streams", Reply::text("<html>"));
    EXPECT_TRUE(awaitOutcome(transport.universe(session(), {})).threw<netkit::JsonError>());

    // Wrong credentials: panels answer every action with the refused account object.
    EXPECT_EQ(awaitOutcome(transport.universe(session("demo", "wrong"), {})).commandError(), CommandError::invalidResponse);
}

// One failing stream list ends the load at once: the lists still in flight are cancelled, not waited for.
TEST_F(XtreamTransportTest, OneFailingListCancelsTheOthers)
{
    panel.answer("get_live_streams", Reply::json("[]").held());
    panel.answer("get_series", Reply::json("[]").held());
    panel.answer("get_vod_streams", Reply::empty(404).after(100ms));
    const auto started = std::chrono::steady_clock::now();
    auto outcome = awaitOutcome(transport.universe(session(), {}));
    EXPECT_EQ(outcome.commandError(), CommandError::invalidResponse);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(panel.heldCount(), 2u) << "the held lists were never answered";
    panel.release();

    // Our own cancellation is silent and ends the load as well.
    netkit::CancelToken token;
    panel.answer("get_vod_streams", Reply::json("[]").held());
    auto task = transport.universe(session(), token);
    QTimer::singleShot(100ms, [token] { token.cancel(); });
    EXPECT_TRUE(awaitOutcome(std::move(task)).threw<netkit::Cancelled>());
    panel.release();
}

TEST_F(XtreamTransportTest, FilmAndLiveDetails)
{
    auto live = awaitOutcome(transport.details(entry(SignalKind::broadcast, "1"), session(), {}));
    ASSERT_TRUE(live.value);
    EXPECT_TRUE(live.value->synopsis.isEmpty() && live.value->genre.isEmpty() && live.value->year.isEmpty()
                && live.value->seasons.isEmpty());
    EXPECT_EQ(panel.requestCount(), 0u);

    const ContentBrief film = details(entry(SignalKind::cinema, "77"), "get_vod_info",
                                      R"({"info":{"plot":"  ","description":"La descripción","genre":"Drama","year":2019,
                                          "releasedate":"2018-01-01"},"movie_data":{}})");
    EXPECT_EQ(film.synopsis, "La descripción");
    EXPECT_EQ(film.genre, "Drama");
    EXPECT_EQ(film.year, "2019");
    EXPECT_TRUE(film.seasons.isEmpty());
    EXPECT_EQ(panel.requestsFor("get_vod_info").back().queryValue("vod_id"), "77");

    const ContentBrief odd = details(entry(SignalKind::cinema, "78"), "get_vod_info", R"({"info":[],"episodes":{}})");
    EXPECT_TRUE(odd.synopsis.isEmpty() && odd.genre.isEmpty() && odd.year.isEmpty());
    EXPECT_EQ(details(entry(SignalKind::cinema, "79"), "get_vod_info", R"({"info":{"releaseDate":"2001"}})").year, "2001");

    panel.answer("get_vod_info", Reply::json("[]"));
    EXPECT_EQ(awaitOutcome(transport.details(entry(SignalKind::cinema, "1"), session(), {})).commandError(),
              CommandError::invalidResponse);
    panel.answer("get_vod_info", Reply::json("{}", 404));
    EXPECT_EQ(awaitOutcome(transport.details(entry(SignalKind::cinema, "1"), session(), {})).commandError(),
              CommandError::invalidResponse);
}

TEST_F(XtreamTransportTest, SeriesSeasonsAndEpisodes)
{
    const MediaNode series = entry(SignalKind::episodic, "300");
    const ContentBrief byKey = details(series, "get_series_info", R"({"info":{"plot":"Trama"},"episodes":{
        "10":[{"id":"1001","episode_num":1,"title":"Diez"}],
        "2":[{"id":2001,"title":"","container_extension":"MKV"},{"title":"sin id"},
             {"id":"2003","container_extension":" avi ","info":{"container_extension":"mkv"}}],
        "1":[{"id":"1","episode_num":"4","info":{"container_extension":"mkv"}},{"id":"2","container_extension":"verylongext"},
             {"id":"3","container_extension":"m.kv"},{"id":"4","container_extension":""},{"id":"5","episode_num":" 6"}],
        "x":[{"id":"x1"}],
        "7":[],
        "8":"no es una lista",
        "9":[{"id":"9"},3]}})");
    EXPECT_EQ(byKey.synopsis, "Trama");
    ASSERT_EQ(byKey.seasons.size(), 4);
    EXPECT_EQ(byKey.seasons[0].number, 1) << "a key that is no number sorts as 0 and is numbered 1";
    EXPECT_EQ(byKey.seasons[0].episodes[0].id, "x1");
    EXPECT_EQ(byKey.seasons[1].number, 1);
    EXPECT_EQ(byKey.seasons[2].number, 2);
    EXPECT_EQ(byKey.seasons[3].number, 10);

    const QList<EpisodeNode>& first = byKey.seasons[1].episodes;
    ASSERT_EQ(first.size(), 5);
    EXPECT_EQ(first[0].number, 4);
    EXPECT_EQ(first[4].number, 5) << "an unreadable episode_num is the position";
    EXPECT_EQ(titles(first), (std::vector<QString>{"Episodio 4", "Episodio 2", "Episodio 3", "Episodio 4", "Episodio 5"}));
    const QString prefix = panel.baseUrl().toString() + "/series/demo/s3cret/";
    EXPECT_EQ(first[0].stream.toString(), prefix + "1.mkv");
    EXPECT_EQ(first[1].stream.toString(), prefix + "2.mp4");
    EXPECT_EQ(first[2].stream.toString(), prefix + "3.mp4");
    EXPECT_EQ(first[3].stream.toString(), prefix + "4.mp4");

    const QList<EpisodeNode>& second = byKey.seasons[2].episodes;
    ASSERT_EQ(second.size(), 2);
    EXPECT_EQ(second[0].id, "2001");
    EXPECT_EQ(second[0].title, "Episodio 1");
    EXPECT_EQ(second[0].stream.toString(), prefix + "2001.mkv");
    EXPECT_EQ(second[1].number, 3) << "the position counts skipped episodes";
    EXPECT_EQ(second[1].stream.toString(), prefix + "2003.avi");

    const ContentBrief byList = details(series, "get_series_info", R"({"episodes":[
        {"id":"a","season":2},{"id":"b","season":"1"},{"id":"c"},{"id":"d","season":null},{"id":"e","season":" 3"}]})");
    ASSERT_EQ(byList.seasons.size(), 3);
    EXPECT_EQ(byList.seasons[0].number, 1) << "\" 3\" is no integer: sorted as 0, numbered 1";
    EXPECT_EQ(byList.seasons[0].episodes[0].id, "e");
    EXPECT_EQ(byList.seasons[1].number, 1);
    EXPECT_EQ(byList.seasons[1].episodes.size(), 3);
    EXPECT_EQ(byList.seasons[1].episodes[2].id, "d");
    EXPECT_EQ(byList.seasons[2].episodes[0].id, "a");
    EXPECT_EQ(byList.seasons[2].episodes[0].number, 1);

    EXPECT_TRUE(details(series, "get_series_info", R"({"episodes":[{"id":"a"},null]})").seasons.isEmpty());
    EXPECT_TRUE(details(series, "get_series_info", R"({"info":{}})").seasons.isEmpty());

    const CatalogGenerator generator;
    const ContentBrief generated = details(series, "get_series_info", generator.seriesInfo(300, 12, 8).toStdString());
    ASSERT_EQ(generated.seasons.size(), 12);
    EXPECT_EQ(generated.seasons.last().number, 12);
    EXPECT_EQ(generated.seasons.last().episodes.size(), 8);
}

// Each segment is encoded once: the server receives exactly these bytes.
TEST_F(XtreamTransportTest, StreamAddressesSurviveTheWire)
{
    const ProviderSession source = session(QStringLiteral("de mo/1"), QStringLiteral("p+ss%2Bé*"));
    const QUrl live = XtreamTransport::streamURL(source, "live", "42", "ts");
    const QUrl film = XtreamTransport::streamURL(source, "movie", "Ñ 7", "mkv");
    EXPECT_EQ(live.toEncoded(), panel.baseUrl().toEncoded() + "/live/de+mo%2F1/p%2Bss%252B%C3%A9*/42.ts");
    EXPECT_EQ(film.path(QUrl::FullyEncoded), "/movie/de+mo%2F1/p%2Bss%252B%C3%A9*/%C3%91+7.mkv");

    panel.route("GET", "/*", Reply::text("ok"));
    QNetworkAccessManager client;
    for (const QUrl& url : {live, film}) {
        QNetworkReply* reply = client.get(QNetworkRequest(url));
        QCoro::waitFor(qCoro(reply).waitForFinished());
        reply->deleteLater();
    }
    const auto requests = panel.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].rawPath, "/live/de+mo%2F1/p%2Bss%252B%C3%A9*/42.ts");
    EXPECT_EQ(requests[1].rawPath, "/movie/de+mo%2F1/p%2Bss%252B%C3%A9*/%C3%91+7.mkv");
}

TEST_F(XtreamTransportTest, Tickets)
{
    const QString base = panel.baseUrl().toString();
    const auto live = transport.immediateStream(entry(SignalKind::broadcast, "5"), session());
    ASSERT_TRUE(live);
    EXPECT_EQ(live->stream.toString(), base + "/live/demo/s3cret/5.ts");
    EXPECT_EQ(live->nativeStream, QUrl(base + "/live/demo/s3cret/5.m3u8"));
    EXPECT_TRUE(live->episodes.isEmpty());

    const auto film = transport.immediateStream(entry(SignalKind::cinema, "6", " MKV "), session());
    ASSERT_TRUE(film);
    EXPECT_EQ(film->stream.toString(), base + "/movie/demo/s3cret/6.mkv");
    EXPECT_EQ(film->nativeStream, QUrl(base + "/movie/demo/s3cret/6.mp4"));
    EXPECT_NE(film->id, live->id);
    const auto mp4 = transport.immediateStream(entry(SignalKind::cinema, "7", "mkv?x=1"), session());
    EXPECT_EQ(mp4->stream.toString(), base + "/movie/demo/s3cret/7.mp4");
    EXPECT_EQ(mp4->nativeStream, std::nullopt);

    MediaNode listed = entry(SignalKind::episodic, "pl");
    listed.directURL = QUrl("http://cdn.test/series/u/p/9.avi");
    const auto direct = transport.immediateStream(listed, session());
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->stream, *listed.directURL);
    EXPECT_EQ(direct->nativeStream, QUrl("http://cdn.test/series/u/p/9.mp4"));
    listed.kind = SignalKind::broadcast;
    listed.directURL = QUrl("http://cdn.test/canal/9.TS");
    EXPECT_EQ(transport.immediateStream(listed, session())->nativeStream, QUrl("http://cdn.test/canal/9.m3u8"));

    const MediaNode series = entry(SignalKind::episodic, "300");
    EXPECT_FALSE(transport.immediateStream(series, session()));
    panel.answer("get_series_info", Reply::json(R"({"episodes":{"2":[{"id":"21"}],"1":[{"id":"11","container_extension":"mkv"},{"id":"12"}]}})"));
    auto ticket = awaitOutcome(transport.stream(series, session(), {}));
    ASSERT_TRUE(ticket.value);
    EXPECT_EQ(ticket.value->stream.toString(), base + "/series/demo/s3cret/11.mkv");
    EXPECT_EQ(ticket.value->nativeStream, QUrl(base + "/series/demo/s3cret/11.mp4"));
    EXPECT_EQ(ticket.value->episodes.size(), 3);
    EXPECT_EQ(ticket.value->episodes.last().toString(), base + "/series/demo/s3cret/21.mp4");
    EXPECT_EQ(ticket.value->episodeIndex, 0);
    EXPECT_EQ(ticket.value->resumeFraction, 0.0);

    panel.answer("get_series_info", Reply::json(R"({"episodes":{"1":[{"title":"sin id"}]}})"));
    EXPECT_EQ(awaitOutcome(transport.stream(series, session(), {})).commandError(), CommandError::playbackUnavailable);
    panel.answer("get_series_info", Reply::empty(502));
    EXPECT_EQ(awaitOutcome(transport.stream(series, session(), {})).commandError(), CommandError::invalidResponse);
}
