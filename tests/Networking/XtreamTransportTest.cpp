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

// "season:id#number/title.extension ..." for every season, in order.
QString describe(const ContentBrief& brief)
{
    QStringList seasons;
    for (const SeasonBundle& season : brief.seasons) {
        QStringList episodes;
        for (const EpisodeNode& e : season.episodes)
            episodes << QStringLiteral("%1#%2/%3.%4").arg(e.id).arg(e.number).arg(e.title, e.stream.path().section('.', -1));
        seasons << QString::number(season.number) + ":" + episodes.join(' ');
    }
    return seasons.join(" | ");
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
        expected += testkit::readStreamListWithQJson(streams, kinds[k].second, xtream::readCategoryMap(categories),
                                                     panel.baseUrl());
    }
    auto outcome = awaitOutcome(transport.universe(session(), {}));
    ASSERT_TRUE(outcome.value) << outcome.commandError().has_value();
    EXPECT_EQ(outcome.value->size(), generator.expectedEntries(400) + generator.expectedEntries(3000)
                                         + generator.expectedEntries(250));
    EXPECT_TRUE(outcome.value->toList() == expected);
    EXPECT_EQ(outcome.value->first().kind, SignalKind::broadcast);
    EXPECT_EQ(outcome.value->last().kind, SignalKind::episodic);
    for (const auto& [streams, categories] : actions) {
        EXPECT_EQ(panel.requestsFor(streams).size(), 1u);
        EXPECT_EQ(panel.requestsFor(categories).size(), 1u);
    }
}

TEST_F(XtreamTransportTest, UniverseFailures)
{
    // A category list that fails in any way only costs its kind the group names.
    panel.answer("get_vod_streams", Reply::json(R"([{"stream_id":1,"name":"A","category_id":"3"},
                                                   {"stream_id":2,"name":"B","category_id":"3","category_name":"Propia"}])"));
    panel.answer("get_vod_categories", Reply::text("<html>error</html>", 500));
    panel.answer("get_series_categories", Reply::json("not json"));
    auto films = awaitOutcome(transport.universe(session(), {}));
    ASSERT_TRUE(films.value);
    ASSERT_EQ(films.value->size(), 2);
    EXPECT_EQ((*films.value)[0].groupName, "Contenido");
    EXPECT_EQ((*films.value)[0].groupID, "3");
    EXPECT_EQ((*films.value)[1].groupName, "Propia");
    panel.answer("get_vod_streams", Reply::json("[]"));

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
    EXPECT_EQ(describe(*live.value) + live.value->synopsis + live.value->genre + live.value->year, "");
    EXPECT_EQ(panel.requestCount(), 0u);

    const ContentBrief film = details(entry(SignalKind::cinema, "77"), "get_vod_info",
                                      R"({"info":{"plot":"  ","description":"La descripción","genre":"Drama","year":2019,
                                          "releasedate":"2018-01-01"},"movie_data":{}})");
    EXPECT_EQ(QStringList({film.synopsis, film.genre, film.year}), QStringList({"La descripción", "Drama", "2019"}));
    EXPECT_EQ(panel.requestsFor("get_vod_info").back().queryValue("vod_id"), "77");
    const ContentBrief odd = details(entry(SignalKind::cinema, "78"), "get_vod_info", R"({"info":[],"episodes":{}})");
    EXPECT_EQ(odd.synopsis + odd.genre + odd.year, "");
    EXPECT_EQ(details(entry(SignalKind::cinema, "79"), "get_vod_info", R"({"info":{"releaseDate":"2001"}})").year, "2001");

    panel.answer("get_vod_info", Reply::json("[]"));
    EXPECT_EQ(awaitOutcome(transport.details(entry(SignalKind::cinema, "1"), session(), {})).commandError(),
              CommandError::invalidResponse);
}

TEST_F(XtreamTransportTest, SeriesSeasonsAndEpisodes)
{
    const MediaNode series = entry(SignalKind::episodic, "300");
    const ContentBrief byKey = details(series, "get_series_info", R"({"episodes":{
        "10":[{"id":"1001","episode_num":1,"title":"Diez"}],
        "2":[{"id":2001,"title":"","container_extension":"MKV"},{"title":"sin id"},
             {"id":"2003","container_extension":" avi ","info":{"container_extension":"mkv"}}],
        "1":[{"id":"1","episode_num":"4","info":{"container_extension":"mkv"}},{"id":"2","container_extension":"verylongext"},
             {"id":"3","container_extension":"m.kv"},{"id":"4","container_extension":""},{"id":"5","episode_num":" 6"}],
        "x":[{"id":"x1"}], "7":[], "8":"no es una lista", "9":[{"id":"9"},3]}})");
    // A key that is no number sorts as 0 and is numbered 1; an unreadable episode_num is the position, which
    // counts skipped episodes; an odd extension falls back to mp4.
    EXPECT_EQ(describe(byKey), "1:x1#1/Episodio 1.mp4 | "
                               "1:1#4/Episodio 4.mkv 2#2/Episodio 2.mp4 3#3/Episodio 3.mp4 4#4/Episodio 4.mp4 5#5/Episodio 5.mp4 | "
                               "2:2001#1/Episodio 1.mkv 2003#3/Episodio 3.avi | 10:1001#1/Diez.mp4");
    EXPECT_EQ(byKey.seasons[1].episodes[0].stream.toString(), panel.baseUrl().toString() + "/series/demo/s3cret/1.mkv");

    const ContentBrief byList = details(series, "get_series_info", R"({"episodes":[
        {"id":"a","season":2},{"id":"b","season":"1"},{"id":"c"},{"id":"d","season":null},{"id":"e","season":" 3"}]})");
    EXPECT_EQ(describe(byList), "1:e#1/Episodio 1.mp4 | 1:b#1/Episodio 1.mp4 c#2/Episodio 2.mp4 d#3/Episodio 3.mp4 | "
                                "2:a#1/Episodio 1.mp4");

    EXPECT_TRUE(details(series, "get_series_info", R"({"episodes":[{"id":"a"},null]})").seasons.isEmpty());
    EXPECT_TRUE(details(series, "get_series_info", R"({"info":{}})").seasons.isEmpty());
    const ContentBrief generated = details(series, "get_series_info", CatalogGenerator().seriesInfo(300, 12, 8).toStdString());
    ASSERT_EQ(generated.seasons.size(), 12);
    EXPECT_EQ(generated.seasons.last().number, 12);
    EXPECT_EQ(generated.seasons.last().episodes.size(), 8);
}

// Each segment is encoded once and keeps what a path segment may hold as typed: the server receives exactly these
// bytes.
TEST_F(XtreamTransportTest, StreamAddressesSurviveTheWire)
{
    const ProviderSession source = session(QStringLiteral("ana@mail.com de/1"), QStringLiteral("p+ss%2Bé*:&="));
    const QUrl live = *XtreamTransport::streamURL(source, "live", "42", "ts");
    const QUrl film = *XtreamTransport::streamURL(source, "movie", "Ñ 7", "mkv");
    EXPECT_EQ(live.toEncoded(), panel.baseUrl().toEncoded() + "/live/ana@mail.com%20de%2F1/p+ss%252B%C3%A9*:&=/42.ts");
    EXPECT_EQ(film.path(QUrl::FullyEncoded), "/movie/ana@mail.com%20de%2F1/p+ss%252B%C3%A9*:&=/%C3%91%207.mkv");
    // A credential of only dots would be removed from the path as a step ("/movie/./../8.mp4" goes out as
    // "/8.mp4"): such a source has no stream address, and playing fails instead of asking for another path.
    for (const auto& [user, secret] : {std::pair{".", "s3cret"}, std::pair{"demo", ".."}}) {
        const ProviderSession dots = session(user, secret);
        EXPECT_EQ(XtreamTransport::streamURL(dots, "movie", "8", "mp4"), std::nullopt);
        MediaNode film8;
        film8.kind = SignalKind::cinema;
        film8.id = "8";
        EXPECT_EQ(transport.immediateStream(film8, dots), std::nullopt);
        EXPECT_EQ(awaitOutcome(transport.stream(film8, dots, {})).commandError(), CommandError::playbackUnavailable);
    }

    panel.route("GET", "/*", Reply::text("ok"));
    QNetworkAccessManager client;
    for (const QUrl& url : {live, film}) {
        QNetworkReply* reply = client.get(QNetworkRequest(url));
        QCoro::waitFor(qCoro(reply).waitForFinished());
        reply->deleteLater();
    }
    const auto requests = panel.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].rawPath, "/live/ana@mail.com%20de%2F1/p+ss%252B%C3%A9*:&=/42.ts");
    EXPECT_EQ(requests[1].rawPath, "/movie/ana@mail.com%20de%2F1/p+ss%252B%C3%A9*:&=/%C3%91%207.mkv");
}

TEST_F(XtreamTransportTest, Tickets)
{
    const QString base = panel.baseUrl().toString();
    // "stream native", addresses relative to the panel where they are its own.
    const auto addresses = [&](const std::optional<PlaybackTicket>& ticket) {
        if (!ticket)
            return QString("none");
        QString text = ticket->stream.toString() + " " + ticket->nativeStream.value_or(QUrl("-")).toString();
        return text.replace(base, "");
    };
    const auto immediate = [&](const MediaNode& node) { return addresses(transport.immediateStream(node, session())); };
    EXPECT_EQ(immediate(entry(SignalKind::broadcast, "5")), "/live/demo/s3cret/5.ts /live/demo/s3cret/5.m3u8");
    EXPECT_EQ(immediate(entry(SignalKind::cinema, "6", " MKV ")), "/movie/demo/s3cret/6.mkv /movie/demo/s3cret/6.mp4");
    EXPECT_EQ(immediate(entry(SignalKind::cinema, "7", "mkv?x=1")), "/movie/demo/s3cret/7.mp4 -");
    MediaNode listed = entry(SignalKind::episodic, "pl");
    listed.directURL = QUrl("http://cdn.test/series/u/p/9.avi");
    EXPECT_EQ(immediate(listed), "http://cdn.test/series/u/p/9.avi http://cdn.test/series/u/p/9.mp4");
    listed.kind = SignalKind::broadcast;
    listed.directURL = QUrl("http://cdn.test/canal/9.TS");
    EXPECT_EQ(immediate(listed), "http://cdn.test/canal/9.TS http://cdn.test/canal/9.m3u8");
    const MediaNode series = entry(SignalKind::episodic, "300");
    EXPECT_EQ(immediate(series), "none");
    EXPECT_NE(transport.immediateStream(listed, session())->id, transport.immediateStream(listed, session())->id);

    panel.answer("get_series_info", Reply::json(R"({"episodes":{"2":[{"id":"21"}],"1":[{"id":"11","container_extension":"mkv"},{"id":"12"}]}})"));
    auto ticket = awaitOutcome(transport.stream(series, session(), {}));
    ASSERT_TRUE(ticket.value);
    EXPECT_EQ(addresses(ticket.value), "/series/demo/s3cret/11.mkv /series/demo/s3cret/11.mp4");
    EXPECT_EQ(ticket.value->episodes.size(), 3);
    EXPECT_EQ(ticket.value->episodes.last().toString(), base + "/series/demo/s3cret/21.mp4");
    EXPECT_EQ(ticket.value->episodeIndex, 0);

    panel.answer("get_series_info", Reply::json(R"({"episodes":{"1":[{"title":"sin id"}]}})"));
    EXPECT_EQ(awaitOutcome(transport.stream(series, session(), {})).commandError(), CommandError::playbackUnavailable);
    panel.answer("get_series_info", Reply::empty(502));
    EXPECT_EQ(awaitOutcome(transport.stream(series, session(), {})).commandError(), CommandError::invalidResponse);
}
