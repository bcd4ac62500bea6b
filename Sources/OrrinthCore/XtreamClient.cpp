#include "OrrinthCore/XtreamClient.h"

#include "OrrinthCore/Addresses.h"
#include "NetKit/InBackground.h"
#include "OrrinthCore/CoreErrors.h"
#include "OrrinthCore/JsonDecoding.h"
#include "NetKit/Join.h"
#include "NetKit/LenientJson.h"
#include "NetKit/NetLog.h"
#include "NetKit/UrlCodec.h"

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace orrinth {

namespace {

using namespace std::chrono_literals;
using netkit::CancelToken;
using netkit::HttpRequest;
using netkit::HttpResponse;
using Transport = std::shared_ptr<HttpTransport>;
using Query = QList<netkit::QueryItem>;
using Object = simdjson::dom::object;
using CategoryTable = QHash<QString, QString>;

// The netkit readers take lookup results; an element in hand is a successful one.
simdjson::simdjson_result<json::Element> held(json::Element element)
{
    return simdjson::simdjson_result<json::Element>(std::move(element));
}

[[noreturn]] void reject()
{
    throw CredentialFailure();
}

Query action(const char *name)
{
    return {{QStringLiteral("action"), QString::fromLatin1(name)}};
}

Query detailsQuery(const char *request, const char *idKey, const QString &id)
{
    return {{QStringLiteral("action"), QString::fromLatin1(request)}, {QString::fromLatin1(idKey), id}};
}

// The body of one 2xx answer of the panel.
// A list (`largeList`) may take 10 minutes and 1 GiB; every other answer 60 seconds and 16 MiB.
QCoro::Task<QByteArray> fetch(Transport transport, XtreamCredentials credentials, Query query,
                              std::chrono::milliseconds timeout, CancelToken token, bool largeList = false)
{
    HttpRequest request;
    request.url = credentials.apiURL(query);
    if (!request.url.isValid())
        reject();
    request.idleTimeout = timeout;
    if (largeList)
        request.boundAsLargeList();
    const HttpResponse response = co_await exchange(std::move(transport), std::move(request), token);
    if (!response.isSuccess())
        reject();
    co_return response.body;
}

QCoro::Task<netkit::JsonDocument> objectAnswer(Transport transport, XtreamCredentials credentials, Query query,
                                               std::chrono::milliseconds timeout, CancelToken token)
{
    const QByteArray body = co_await fetch(std::move(transport), std::move(credentials), std::move(query), timeout,
                                           std::move(token));
    netkit::JsonDocument document = json::parseDocument(body);
    if (!netkit::json::object(document.root()))
        reject();
    co_return document;
}

// The rows of a list answer: an array whose every element is an object.
std::vector<Object> rowsOf(const netkit::JsonDocument &document)
{
    const auto array = netkit::json::array(document.root());
    if (!array)
        reject();
    std::vector<Object> rows;
    rows.reserve(array->size());
    for (const json::Element element : *array) {
        const auto row = netkit::json::object(held(element));
        if (!row)
            reject();
        rows.push_back(*row);
    }
    return rows;
}

// A text unchanged or a number's decimal form. Null, booleans, arrays and objects are no value: a broken id
// must not turn into a text such as "<null>".
QString idText(Object row, std::string_view key)
{
    return netkit::json::string(row[key]).value_or(QString());
}

// Panels send the category in "category_id" and again in "category_ids"; some rows fill only the list. Then the
// first listed id whose category is named stands in for it, else the first listed id.
QString categoryIdOf(Object row, const CategoryTable& names)
{
    QString id = idText(row, "category_id");
    if (!id.isEmpty())
        return id;
    const auto listed = netkit::json::array(row["category_ids"]);
    if (!listed)
        return id;
    for (const json::Element element : *listed) {
        const QString candidate = netkit::json::string(element).value_or(QString());
        if (candidate.isEmpty())
            continue;
        if (names.contains(candidate))
            return candidate;
        if (id.isEmpty())
            id = candidate;
    }
    return id;
}

std::optional<QString> nonEmptyText(Object row, std::string_view key)
{
    auto text = netkit::json::text(row[key]);
    if (!text || text->isEmpty())
        return std::nullopt;
    return text;
}

// The first key whose value is a text with visible content (returned untrimmed) or a number.
QString pickText(std::optional<Object> object, std::initializer_list<std::string_view> keys, const QString &fallback)
{
    if (!object)
        return fallback;
    for (const std::string_view key : keys) {
        const auto value = (*object)[key];
        if (const auto text = netkit::json::text(value)) {
            if (!text->trimmed().isEmpty())
                return *text;
        } else if (!value.error() && value.value_unsafe().is_number()) {
            return *netkit::json::string(value);
        }
    }
    return fallback;
}

CategoryTable categoryTableFrom(const QByteArray &body)
{
    const netkit::JsonDocument document = json::parseDocument(body);
    CategoryTable table;
    for (const Object row : rowsOf(document)) {
        const QString id = idText(row, "category_id");
        const QString name = netkit::json::text(row["category_name"]).value_or(QString()).trimmed();
        if (!id.isEmpty() && !name.isEmpty())
            table.insert(id, name);
    }
    return table;
}

std::optional<CatalogItem> itemFrom(Object row, ContentKind kind, const CategoryTable &names)
{
    const auto id = netkit::json::string(row[kind == ContentKind::series ? "series_id" : "stream_id"]);
    const auto name = nonEmptyText(row, "name");
    if (!id || !name)
        return std::nullopt;
    const QString categoryID = categoryIdOf(row, names);
    QString category = nonEmptyText(row, "category_name").value_or(names.value(categoryID));
    if (category.isEmpty())
        category = uncategorizedCategoryName();
    auto artwork = netkit::json::text(row["stream_icon"]);
    if (!artwork)
        artwork = netkit::json::text(row["cover"]);
    auto extension = netkit::json::text(row["container_extension"]);
    if (!extension)
        extension = kind == ContentKind::movie ? QStringLiteral("mp4") : QString();
    return CatalogItem(*id, *name, categoryID, category, parseAddress(artwork.value_or(QString())), *extension, kind,
                       std::nullopt);
}

QList<CatalogItem> itemsFrom(const QByteArray &body, ContentKind kind, const CategoryTable &names)
{
    const netkit::JsonDocument document = json::parseDocument(body);
    QList<CatalogItem> items;
    for (const Object row : rowsOf(document)) {
        if (auto item = itemFrom(row, kind, names))
            items.append(std::move(*item));
    }
    return items;
}

// Category and list requests of a catalogue load never fail it on their own: a failure is an empty answer.
// Cancellation is told apart by the caller, from its token, once every child has ended.
QCoro::Task<CategoryTable> categoryTable(Transport transport, XtreamCredentials credentials, const char *request,
                                         CancelToken token)
{
    try {
        const QByteArray body = co_await fetch(transport, credentials, action(request), 25s, token);
        co_return categoryTableFrom(body);
    } catch (...) {
        if (!token.isCancelled())
            qCWarning(netkit::netLog,
                      "Sendra: a category list of the panel could not be read; its groups stay unnamed");
    }
    co_return CategoryTable();
}

QCoro::Task<QList<CatalogItem>> streamItems(Transport transport, XtreamCredentials credentials, const char *request,
                                            CategoryTable names, ContentKind kind, CancelToken token)
{
    try {
        const QByteArray body = co_await fetch(transport, credentials, action(request), 40s, token, true);
        // Named: g++ 12 destroys a lambda temporary of a co_await expression twice.
        auto decode = [body, kind, names] { return itemsFrom(body, kind, names); };
        co_return co_await netkit::inBackground(std::move(decode), token);
    } catch (...) {
        if (!token.isCancelled())
            qCWarning(netkit::netLog, "Sendra: a stream list of the panel could not be read; it counts as empty");
    }
    co_return QList<CatalogItem>();
}

struct CategoryTables
{
    CategoryTable live;
    CategoryTable movie;
    CategoryTable series;

    const CategoryTable &forKind(ContentKind kind) const
    {
        switch (kind) {
        case ContentKind::live:
            return live;
        case ContentKind::movie:
            return movie;
        case ContentKind::series:
            break;
        }
        return series;
    }
};

QCoro::Task<CategoryTables> categoryTables(Transport transport, XtreamCredentials credentials, CancelToken token)
{
    auto live = [=](CancelToken t) { return categoryTable(transport, credentials, "get_live_categories", t); };
    auto movie = [=](CancelToken t) { return categoryTable(transport, credentials, "get_vod_categories", t); };
    auto series = [=](CancelToken t) { return categoryTable(transport, credentials, "get_series_categories", t); };
    auto [liveTable, movieTable, seriesTable] = co_await netkit::joinAll(token, live, movie, series);
    netkit::throwIfCancelled(token);
    co_return CategoryTables{std::move(liveTable), std::move(movieTable), std::move(seriesTable)};
}

std::optional<EpisodeDetails> episodeFrom(Object episode, qsizetype position, const XtreamCredentials &credentials)
{
    const auto id = netkit::json::string(episode["id"]);
    if (!id)
        return std::nullopt;
    auto extension = netkit::json::text(episode["container_extension"]);
    if (!extension) {
        if (const auto info = netkit::json::object(episode["info"]))
            extension = netkit::json::text((*info)["container_extension"]);
    }
    // Only a JSON number counts; an out-of-range one is no number rather than undefined behaviour.
    const auto numberValue = episode["episode_num"];
    std::optional<qint64> number;
    if (!numberValue.error() && numberValue.value_unsafe().is_number())
        number = netkit::json::integer(numberValue);
    const qint64 episodeNumber = number.value_or(qint64(position) + 1);
    const QString title =
        nonEmptyText(episode, "title").value_or(QStringLiteral("Episodio ") + QString::number(episodeNumber));
    const auto url = credentials.episodeURL(*id, extension.value_or(QStringLiteral("mp4")));
    if (!url)
        return std::nullopt;
    return EpisodeDetails(*id, title, episodeNumber, *url);
}

std::optional<QList<EpisodeDetails>> episodesFrom(json::Element element, const XtreamCredentials &credentials)
{
    const auto array = netkit::json::array(held(element));
    if (!array)
        return std::nullopt;
    QList<EpisodeDetails> episodes;
    qsizetype position = 0;
    for (const json::Element child : *array) {
        const auto episode = netkit::json::object(held(child));
        if (!episode)
            return std::nullopt;
        if (auto details = episodeFrom(*episode, position, credentials))
            episodes.append(std::move(*details));
        ++position;
    }
    return episodes;
}

QList<SeasonDetails> seasonsFrom(std::optional<Object> episodes, const XtreamCredentials &credentials)
{
    if (!episodes)
        return {};
    struct Key
    {
        std::optional<qint64> number;
        json::Element value;
    };
    std::vector<Key> keys;
    for (const auto field : *episodes)
        keys.push_back({netkit::json::integerFromText(field.key), field.value});
    std::ranges::stable_sort(keys, {}, [](const Key &key) { return key.number.value_or(0); });
    QList<SeasonDetails> seasons;
    for (const Key &key : keys) {
        auto list = episodesFrom(key.value, credentials);
        if (!list || list->isEmpty())
            continue;
        seasons.append(SeasonDetails(key.number.value_or(seasons.size() + 1), std::move(*list)));
    }
    return seasons;
}

} // namespace

XtreamClient::XtreamClient(std::shared_ptr<HttpTransport> transport) : m_transport(std::move(transport)) {}

QCoro::Task<void> XtreamClient::validate(XtreamCredentials credentials, CancelToken token)
{
    const netkit::JsonDocument document = co_await objectAnswer(m_transport, credentials, Query(), 20s, token);
    const auto userInfo = netkit::json::object(document.root()["user_info"]);
    if (!userInfo)
        reject();
    const auto auth = (*userInfo)["auth"];
    if (auth.error())
        reject();
    const bool accepted =
        json::integerValue(auth.value_unsafe()) == 1 || netkit::json::text(auth) == QLatin1String("1");
    if (!accepted)
        reject();
}

QCoro::Task<QList<CatalogItem>> XtreamClient::catalogItems(XtreamCredentials credentials, CancelToken token)
{
    const Transport transport = m_transport;
    const CategoryTables tables = co_await categoryTables(transport, credentials, token);
    auto liveList = [=](CancelToken t) {
        return streamItems(transport, credentials, "get_live_streams", tables.live, ContentKind::live, t);
    };
    auto movieList = [=](CancelToken t) {
        return streamItems(transport, credentials, "get_vod_streams", tables.movie, ContentKind::movie, t);
    };
    auto seriesList = [=](CancelToken t) {
        return streamItems(transport, credentials, "get_series", tables.series, ContentKind::series, t);
    };
    auto [live, movies, series] = co_await netkit::joinAll(token, liveList, movieList, seriesList);
    // The children swallow their failures, our cancellation included: it must not pass for a short catalogue.
    netkit::throwIfCancelled(token);
    QList<CatalogItem> items = std::move(live);
    items.append(std::move(movies));
    items.append(std::move(series));
    if (items.isEmpty())
        reject();
    co_return items;
}

QCoro::Task<QUrl> XtreamClient::firstEpisodeURL(QString seriesID, XtreamCredentials credentials, CancelToken token)
{
    const QList<QUrl> urls = co_await episodeURLs(std::move(seriesID), std::move(credentials), std::move(token));
    if (urls.isEmpty())
        reject();
    co_return urls.first();
}

QCoro::Task<QList<CatalogItem>> XtreamClient::applyingCategoryNames(QList<CatalogItem> items,
                                                                   XtreamCredentials credentials, CancelToken token)
{
    const CategoryTables tables = co_await categoryTables(m_transport, credentials, token);
    QList<CatalogItem> renamed;
    renamed.reserve(items.size());
    for (const CatalogItem &item : items) {
        const QString name = item.kind() ? tables.forKind(*item.kind()).value(item.categoryID()) : QString();
        if (name.isEmpty()) {
            renamed.append(item);
        } else {
            renamed.append(CatalogItem(item.id(), item.name(), item.categoryID(), name, item.imageURL(),
                                       item.extensionName(), item.kind(), item.sourceURL()));
        }
    }
    co_return renamed;
}

QCoro::Task<QList<QUrl>> XtreamClient::episodeURLs(QString seriesID, XtreamCredentials credentials,
                                                   CancelToken token)
{
    const ContentDetails details = co_await seriesDetails(std::move(seriesID), std::move(credentials), token);
    QList<QUrl> urls;
    for (const SeasonDetails &season : details.seasons()) {
        for (const EpisodeDetails &episode : season.episodes())
            urls.append(episode.url());
    }
    co_return urls;
}

QCoro::Task<ContentDetails> XtreamClient::movieDetails(QString movieID, XtreamCredentials credentials,
                                                       CancelToken token)
{
    const Query query = detailsQuery("get_vod_info", "vod_id", movieID);
    const netkit::JsonDocument document = co_await objectAnswer(m_transport, credentials, query, 25s, token);
    const auto info = netkit::json::object(document.root()["info"]);
    const auto movieData = netkit::json::object(document.root()["movie_data"]);
    co_return ContentDetails(pickText(info, {"plot", "description"}, {}), pickText(info, {"genre"}, {}),
                             pickText(info, {"year", "releasedate", "releaseDate"},
                                      pickText(movieData, {"year"}, {})),
                             {});
}

QCoro::Task<ContentDetails> XtreamClient::seriesDetails(QString seriesID, XtreamCredentials credentials,
                                                        CancelToken token)
{
    const Query query = detailsQuery("get_series_info", "series_id", seriesID);
    const netkit::JsonDocument document = co_await objectAnswer(m_transport, credentials, query, 25s, token);
    const auto info = netkit::json::object(document.root()["info"]);
    QList<SeasonDetails> seasons =
        seasonsFrom(netkit::json::object(document.root()["episodes"]), credentials);
    if (seasons.isEmpty())
        reject();
    co_return ContentDetails(pickText(info, {"plot", "description"}, {}), pickText(info, {"genre"}, {}),
                             pickText(info, {"year", "releaseDate", "releasedate"}, {}), std::move(seasons));
}

} // namespace orrinth
