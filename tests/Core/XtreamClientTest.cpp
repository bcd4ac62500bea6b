#include "OrrinthCore/XtreamClient.h"

#include "Await.h"
#include "RecordingTransport.h"

#include <QCoro/QCoroTask>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace orrinth;
using coretest::answer;

namespace {

struct XtreamClientTest : ::testing::Test
{
    std::shared_ptr<coretest::RecordingTransport> transport = std::make_shared<coretest::RecordingTransport>();
    XtreamClient client{transport};
    XtreamCredentials credentials{QUrl(QStringLiteral("http://panel.example/p")), QStringLiteral("ana"),
                                  QStringLiteral("a+b&c")};

    bool rejects(QCoro::Task<void> task)
    {
        try {
            coretest::await(std::move(task));
        } catch (const CredentialFailure &) {
            return true;
        }
        return false;
    }

    void scriptCatalogue()
    {
        transport->on(QStringLiteral("get_live_categories"),
                      answer(R"([{"category_id":3,"category_name":" Noticias \n"},{"category_id":"4","category_name":""}])"));
        transport->on(QStringLiteral("get_vod_categories"), answer(R"([{"category_id":"8","category_name":"Cine"}])"));
        transport->on(QStringLiteral("get_series_categories"), answer("[]"));
        transport->on(QStringLiteral("get_live_streams"),
                      answer(R"([{"stream_id":17,"name":"Uno","category_id":3,"stream_icon":"","cover":"http://c/1.png"},
                                 {"stream_id":18,"name":""},{"name":"No id"},{"stream_id":null,"name":"Null id"},
                                 {"stream_id":19,"name":"Dos","category_id":"4","stream_icon":"http://i/2.png"}])"));
        transport->on(QStringLiteral("get_vod_streams"),
                      answer(R"([{"stream_id":"5","name":"Film","category_id":"8","category_name":"Estrenos"},
                                 {"stream_id":"6","name":"Film 2","category_id":"8","container_extension":"mkv"}])"));
        transport->on(QStringLiteral("get_series"),
                      answer(R"([{"series_id":"s1","stream_id":"x","name":"Serie","cover":"http://c/s.png"}])"));
    }

    template <typename T>
    T wait(QCoro::Task<T> task)
    {
        return coretest::await(std::move(task));
    }
};

} // namespace

TEST_F(XtreamClientTest, AccountCheck)
{
    for (const char *body : {R"({"user_info":{"auth":1}})", R"({"user_info":{"auth":"1"}})"}) {
        transport->on(QStringLiteral("player_api.php"), answer(body));
        EXPECT_FALSE(rejects(client.validate(credentials))) << body;
    }
    const netkit::HttpRequest &sent = transport->requests.last();
    EXPECT_EQ(sent.url.toEncoded(), "http://panel.example/p/player_api.php?username=ana&password=a%2Bb%26c");
    EXPECT_EQ(sent.idleTimeout, std::chrono::seconds(20));
    EXPECT_EQ(sent.cache, netkit::HttpRequest::Cache::Default);
    EXPECT_TRUE(sent.headers.isEmpty());

    for (const char *body : {R"({"user_info":{"auth":0}})", R"({"user_info":{"auth":"0"}})", R"({"user_info":{}})",
                             R"({})", R"([{"user_info":{"auth":1}}])", R"({"user_info":{"auth":true}})"}) {
        transport->on(QStringLiteral("player_api.php"), answer(body));
        EXPECT_TRUE(rejects(client.validate(credentials))) << body;
    }
    transport->on(QStringLiteral("player_api.php"), answer(R"({"user_info":{"auth":1}})", 401));
    EXPECT_TRUE(rejects(client.validate(credentials)));
    transport->on(QStringLiteral("player_api.php"), answer("not json"));
    EXPECT_THROW(wait(client.validate(credentials)), DecodingError);
}

// Rows that fill only "category_ids" take the first listed id whose category is named, else the first; a
// "category_id" with a text wins.
TEST_F(XtreamClientTest, CategoryIdsStandInForAMissingCategoryId)
{
    transport->on(QStringLiteral("get_live_categories"), answer(R"([{"category_id":3,"category_name":"Noticias"}])"));
    transport->on(QStringLiteral("get_vod_categories"), answer(R"([{"category_id":"8","category_name":"Cine"}])"));
    transport->on(QStringLiteral("get_series_categories"), answer(R"([{"category_id":"5","category_name":"Drama"}])"));
    transport->on(QStringLiteral("get_live_streams"),
                  answer(R"([{"stream_id":1,"name":"a","category_id":null,"category_ids":[9,3]},
                             {"stream_id":2,"name":"b","category_id":"4","category_ids":[3]}])"));
    transport->on(QStringLiteral("get_vod_streams"), answer(R"([{"stream_id":3,"name":"c","category_ids":["8"]},
                             {"stream_id":4,"name":"d","category_id":"","category_ids":[null,"",9,10]}])"));
    transport->on(QStringLiteral("get_series"), answer(R"([{"series_id":5,"name":"e","category_ids":[7,5]}])"));
    QStringList rows;
    for (const CatalogItem& item : wait(client.catalogItems(credentials)))
        rows << item.id() + '|' + item.categoryID() + '|' + item.category();
    EXPECT_EQ(rows, (QStringList{"1|3|Noticias", "2|4|Sin categoría", "3|8|Cine", "4|9|Sin categoría", "5|5|Drama"}));
}

// A bad text reads as U+FFFD and a number out of range as no value: the row keeps its other values or, without
// an id, is the only one lost.
TEST_F(XtreamClientTest, OneBadValueCostsAtMostItsRow)
{
    transport->on(QStringLiteral("get_live_categories"), answer(R"([{"category_id":1e400,"category_name":"x"},
                             {"category_id":3,"category_name":"Noticias \udc00"}])"));
    transport->on(QStringLiteral("get_vod_categories"), answer("[]"));
    transport->on(QStringLiteral("get_series_categories"), answer("[]"));
    transport->on(QStringLiteral("get_live_streams"),
                  answer("[{\"stream_id\":1,\"name\":\"a\\ud800b\",\"category_id\":1e400,\"category_ids\":[1e400,3]},"
                         "{\"stream_id\":1e400,\"name\":\"perdido\"},"
                         "{\"stream_id\":2,\"name\":\"\\udc00\\ud800 \xED\xA0\xBD\"}]"));
    transport->on(QStringLiteral("get_vod_streams"), answer(R"([{"stream_id":3,"name":"c","rating":-2e999}])"));
    transport->on(QStringLiteral("get_series"), answer("[]"));
    QStringList rows;
    for (const CatalogItem& item : wait(client.catalogItems(credentials)))
        rows << item.id() + '|' + item.name() + '|' + item.categoryID() + '|' + item.category();
    EXPECT_EQ(rows, (QStringList{"1|a\uFFFDb|3|Noticias \uFFFD", "2|\uFFFD\uFFFD \uFFFD\uFFFD\uFFFD||Sin categoría",
                                 "3|c||Sin categoría"}));
}

TEST_F(XtreamClientTest, CatalogueReadsRowsWithTheirFallbacks)
{
    scriptCatalogue();
    const auto items = wait(client.catalogItems(credentials));
    ASSERT_EQ(items.size(), 5);

    const CatalogItem &uno = items[0];
    EXPECT_EQ(uno.id(), QStringLiteral("17"));
    EXPECT_EQ(uno.category(), QStringLiteral("Noticias")) << "named from the trimmed category table";
    EXPECT_EQ(uno.categoryID(), QStringLiteral("3"));
    EXPECT_FALSE(uno.imageURL()) << "an empty stream_icon wins over cover";
    EXPECT_EQ(uno.extensionName(), QString());
    EXPECT_EQ(uno.kind(), ContentKind::live);
    EXPECT_FALSE(uno.sourceURL());

    EXPECT_EQ(items[1].category(), QStringLiteral("Sin categoría")) << "a category with an empty name is unnamed";
    EXPECT_EQ(items[1].imageURL(), QUrl(QStringLiteral("http://i/2.png")));
    EXPECT_EQ(items[2].category(), QStringLiteral("Estrenos")) << "the row's own name wins";
    EXPECT_EQ(items[2].extensionName(), QStringLiteral("mp4"));
    EXPECT_EQ(items[3].extensionName(), QStringLiteral("mkv"));
    EXPECT_EQ(items[4].id(), QStringLiteral("s1")) << "series are identified by series_id";
    EXPECT_EQ(items[4].imageURL(), QUrl(QStringLiteral("http://c/s.png")));
    EXPECT_EQ(items[4].kind(), ContentKind::series);

    const auto *list = transport->lastRequest(QStringLiteral("get_vod_streams"));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->idleTimeout, std::chrono::seconds(40));
    EXPECT_EQ(transport->lastRequest(QStringLiteral("get_vod_categories"))->idleTimeout, std::chrono::seconds(25));
}

TEST_F(XtreamClientTest, FailedRequestsCountAsEmptyButAnEmptyCatalogueFails)
{
    scriptCatalogue();
    transport->on(QStringLiteral("get_live_categories"), answer("", 500));
    transport->on(QStringLiteral("get_vod_categories"), coretest::failure(netkit::HttpError::Kind::Transport));
    transport->on(QStringLiteral("get_vod_streams"), answer(R"([{"stream_id":"5","name":"F"}, 3])"));
    const auto items = wait(client.catalogItems(credentials));
    ASSERT_EQ(items.size(), 3) << "live channels and series only";
    EXPECT_EQ(items[0].category(), QStringLiteral("Sin categoría"));
    EXPECT_EQ(items[2].kind(), ContentKind::series);

    transport->on(QStringLiteral("get_live_streams"), answer("[]"));
    transport->on(QStringLiteral("get_series"), answer("{}"));
    EXPECT_THROW(wait(client.catalogItems(credentials)), CredentialFailure);
}

TEST_F(XtreamClientTest, CancelledCatalogueEndsWithCancellation)
{
    scriptCatalogue();
    transport->on(QStringLiteral("get_series"), coretest::held());
    netkit::CancelToken token;
    auto task = client.catalogItems(credentials, token);
    ASSERT_TRUE(QTest::qWaitFor([&] { return transport->lastRequest(QStringLiteral("get_series")) != nullptr; }, 5000));
    token.cancel();
    EXPECT_THROW(wait(std::move(task)), netkit::Cancelled)
        << "neither the lists that completed nor an invalid-credentials error";
}

TEST_F(XtreamClientTest, ApplyingCategoryNames)
{
    scriptCatalogue();
    const auto item = [](QString categoryID, std::optional<ContentKind> kind) {
        return CatalogItem(QStringLiteral("1"), QStringLiteral("n"), categoryID, QStringLiteral("old"), std::nullopt,
                           QString(), kind, std::nullopt);
    };
    const QList<CatalogItem> items{item(QStringLiteral("8"), ContentKind::movie), item(QStringLiteral("8"), std::nullopt),
                                   item(QStringLiteral("9"), ContentKind::movie), item(QStringLiteral("3"), ContentKind::live),
                                   item(QStringLiteral("3"), ContentKind::series)};
    const auto renamed = wait(client.applyingCategoryNames(items, credentials));
    ASSERT_EQ(renamed.size(), items.size());
    EXPECT_EQ(renamed[0].category(), QStringLiteral("Cine"));
    EXPECT_EQ(renamed[1], items[1]);
    EXPECT_EQ(renamed[2], items[2]);
    EXPECT_EQ(renamed[3].category(), QStringLiteral("Noticias"));
    EXPECT_EQ(renamed[4], items[4]);

    transport->on(QStringLiteral("get_vod_categories"), answer("", 503));
    EXPECT_EQ(wait(client.applyingCategoryNames(items, credentials))[0], items[0]);
}

TEST_F(XtreamClientTest, FilmDetails)
{
    transport->on(QStringLiteral("get_vod_info"),
                  answer(R"({"info":{"plot":"  ","description":"Una historia","genre":"Drama","year":""},
                            "movie_data":{"year":2019}})"));
    const auto details = wait(client.movieDetails(QStringLiteral("5"), credentials));
    EXPECT_EQ(details.synopsis(), QStringLiteral("Una historia"));
    EXPECT_EQ(details.genre(), QStringLiteral("Drama"));
    EXPECT_EQ(details.year(), QStringLiteral("2019"));
    EXPECT_TRUE(details.seasons().isEmpty());
    EXPECT_EQ(QUrlQuery(transport->requests.last().url).queryItemValue(QStringLiteral("vod_id")), QStringLiteral("5"));

    transport->on(QStringLiteral("get_vod_info"), answer(R"({"info":[],"movie_data":"x"})"));
    const auto empty = wait(client.movieDetails(QStringLiteral("5"), credentials));
    EXPECT_EQ(empty.synopsis(), QString());
    EXPECT_EQ(empty.year(), QString());
    transport->on(QStringLiteral("get_vod_info"), answer("[]"));
    EXPECT_THROW(wait(client.movieDetails(QStringLiteral("5"), credentials)), CredentialFailure);
}

TEST_F(XtreamClientTest, SeriesSeasonsAndEpisodes)
{
    transport->on(QStringLiteral("get_series_info"), answer(R"({
        "info":{"plot":"P","releaseDate":"2001-02-03","year":null},
        "episodes":{
          "10":[{"id":"e10","container_extension":"avi"}],
          "2":[{"id":20,"episode_num":"3"},{"id":null},{"id":"e22","episode_num":7.9,"title":"Final","info":{"container_extension":"mkv"}}],
          "1":[{"id":"e1","episode_num":1e300}],
          "S1":[{"nope":1}],
          "X":[{"id":"x1"}],
          "Y":"not a list",
          "Z":[{"id":"z1"}, 5]
        }})"));
    const auto details = wait(client.seriesDetails(QStringLiteral("s1"), credentials));
    EXPECT_EQ(details.synopsis(), QStringLiteral("P"));
    EXPECT_EQ(details.year(), QStringLiteral("2001-02-03"));
    QList<qint64> numbers;
    for (const auto &season : details.seasons())
        numbers.append(season.number());
    // "X" sorts as 0 before the numbered keys and is numbered by the seasons accepted so far; "S1" has no
    // usable episode and does not count; "Y" and "Z" are not arrays of objects.
    EXPECT_EQ(numbers, (QList<qint64>{1, 1, 2, 10}));

    const auto &second = details.seasons()[2].episodes();
    ASSERT_EQ(second.size(), 2);
    EXPECT_EQ(second[0].id(), QStringLiteral("20"));
    EXPECT_EQ(second[0].number(), 1) << "a number given as text is ignored";
    EXPECT_EQ(second[0].title(), QStringLiteral("Episodio 1"));
    EXPECT_EQ(second[0].url().toEncoded(), "http://panel.example/p/series/ana/a+b&c/20.mp4");
    EXPECT_EQ(second[1].number(), 7);
    EXPECT_EQ(second[1].title(), QStringLiteral("Final"));
    EXPECT_EQ(second[1].url().path(), QStringLiteral("/p/series/ana/a+b&c/e22.mkv"));
    EXPECT_EQ(details.seasons()[1].episodes()[0].number(), 1) << "an out-of-range number falls back to the position";

    const auto urls = wait(client.episodeURLs(QStringLiteral("s1"), credentials));
    ASSERT_EQ(urls.size(), 5);
    EXPECT_EQ(urls.first().path(), QStringLiteral("/p/series/ana/a+b&c/x1.mp4"));
    EXPECT_EQ(wait(client.firstEpisodeURL(QStringLiteral("s1"), credentials)), urls.first());
    EXPECT_EQ(urls.last().path(), QStringLiteral("/p/series/ana/a+b&c/e10.avi"));

    transport->on(QStringLiteral("get_series_info"), answer(R"({"episodes":{"1":[{"title":"no id"}]}})"));
    EXPECT_THROW(wait(client.seriesDetails(QStringLiteral("s1"), credentials)), CredentialFailure);
    EXPECT_THROW(wait(client.firstEpisodeURL(QStringLiteral("s1"), credentials)), CredentialFailure);
}
