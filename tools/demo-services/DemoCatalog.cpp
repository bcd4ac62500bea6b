#include "DemoCatalog.h"

#include "Domain/CenterContentPolicy.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace sendra::demo {

namespace {

using fakes::RecordedRequest;
using fakes::Reply;
using testkit::PanelKind;

constexpr std::array<PanelKind, 3> kinds{PanelKind::Live, PanelKind::Vod, PanelKind::Series};

struct KindNames
{
    const char* streams;
    const char* categories;
    const char* idKey;
    const char* section; // the platform's section and item kind
};

KindNames names(PanelKind kind)
{
    switch (kind) {
    case PanelKind::Live: return {"get_live_streams", "get_live_categories", "stream_id", "tv"};
    case PanelKind::Vod: return {"get_vod_streams", "get_vod_categories", "stream_id", "movies"};
    case PanelKind::Series: break;
    }
    return {"get_series", "get_series_categories", "series_id", "series"};
}

// Panels send ids and category ids as numbers or texts.
QString looseText(const QJsonValue& value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(qint64(value.toDouble()));
    return {};
}

QString firstNonEmptyText(const QJsonObject& object, std::initializer_list<const char*> keys)
{
    for (const char* key : keys) {
        const QString text = object.value(QLatin1String(key)).toString();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QHash<QString, QString> categoryNames(const QByteArray& categories)
{
    QHash<QString, QString> map;
    for (const QJsonValue& value : QJsonDocument::fromJson(categories).array()) {
        const QJsonObject category = value.toObject();
        map.insert(looseText(category.value("category_id")), category.value("category_name").toString());
    }
    return map;
}

// The category a panel client files a stream under: "category_id", or where a stream fills only "category_ids", the
// first listed id whose category is named, else the first listed id.
QString panelCategoryId(const QJsonObject& stream, const QHash<QString, QString>& groups)
{
    QString id = looseText(stream.value("category_id"));
    if (!id.isEmpty())
        return id;
    for (const QJsonValue& listed : stream.value("category_ids").toArray()) {
        const QString candidate = looseText(listed);
        if (candidate.isEmpty())
            continue;
        if (groups.contains(candidate))
            return candidate;
        if (id.isEmpty())
            id = candidate;
    }
    return id;
}

QJsonArray platformItems(PanelKind kind, const std::string& streams, const QByteArray& categories)
{
    const KindNames name = names(kind);
    const QHash<QString, QString> groups = categoryNames(categories);
    QJsonArray items;
    const QByteArray list = QByteArray::fromRawData(streams.data(), qsizetype(streams.size()));
    for (const QJsonValue& value : QJsonDocument::fromJson(list).array()) {
        const QJsonObject stream = value.toObject();
        const QString id = looseText(stream.value(QLatin1String(name.idKey)));
        const QString title = stream.value("name").toString();
        if (id.isEmpty() || title.isEmpty())
            continue;
        QJsonObject item{{"id", id}, {"name", title}, {"kind", name.section}};
        const QString categoryId = panelCategoryId(stream, groups);
        if (!categoryId.isEmpty())
            item.insert("categoryId", categoryId);
        if (const QString own = stream.value("category_name").toString(); !own.isEmpty())
            item.insert("category", own);
        else if (groups.contains(categoryId))
            item.insert("category", groups.value(categoryId));
        if (const QString image = firstNonEmptyText(stream, {"stream_icon", "cover"}); !image.isEmpty())
            item.insert("image", image);
        if (const QJsonValue suffix = stream.value("container_extension"); suffix.isString())
            item.insert("extension", suffix);
        items.append(item);
    }
    return items;
}

bool isProtected(const QJsonObject& item, const QStringList& blocked)
{
    const QString category = item.value("category").toString();
    return CenterContentPolicy::containsAdultKeyword(category)
           || CenterContentPolicy::containsAdultKeyword(item.value("name").toString())
           || blocked.contains(category, Qt::CaseInsensitive);
}

QJsonArray withoutProtected(const QJsonArray& items, const QStringList& blocked)
{
    QJsonArray kept;
    for (const QJsonValue& item : items) {
        if (!isProtected(item.toObject(), blocked))
            kept.append(item);
    }
    return kept;
}

// The spotlight gets a wide picture of its own, drawn with its title.
QJsonObject spotlight(QJsonObject item, const QUrl& artworkHost)
{
    item.insert("image", QStringLiteral("%1/art/wide/film-%2.jpg?t=%3")
                             .arg(artworkHost.toString(), item.value("id").toString(),
                                  QString::fromLatin1(QUrl::toPercentEncoding(item.value("name").toString()))));
    return item;
}

QJsonObject homeRow(const QString& id, const QString& title, const QJsonArray& items)
{
    QJsonArray picked;
    for (qsizetype i = 0; i < std::min<qsizetype>(items.size(), 12); ++i)
        picked.append(items.at(i));
    return {{"id", id}, {"title", title}, {"items", picked}};
}

testkit::CatalogShape demoShape(quint64 seed, const QUrl& artworkHost)
{
    testkit::CatalogShape shape;
    shape.seed = seed;
    shape.artworkBase = artworkHost.toString();
    shape.adultCategories = 2;
    shape.distinctCategoryNames = true;
    return shape;
}

} // namespace

DemoCatalog::DemoCatalog(int entries, quint64 seed, const QUrl& artworkHost)
    : m_generator(demoShape(seed, artworkHost))
    , m_artworkHost(artworkHost)
{
    m_counts[std::size_t(PanelKind::Live)] = entries * 3 / 10;
    m_counts[std::size_t(PanelKind::Vod)] = entries / 2;
    m_counts[std::size_t(PanelKind::Series)] = entries - entries * 3 / 10 - entries / 2;
    for (const PanelKind kind : kinds) {
        m_streams[std::size_t(kind)] =
            std::make_shared<const std::string>(m_generator.streams(kind, count(kind)).toStdString());
        m_categories[std::size_t(kind)] = m_generator.categories(kind);
    }
}

int DemoCatalog::total() const
{
    return m_counts[0] + m_counts[1] + m_counts[2];
}

void DemoCatalog::serve(fakes::FakeXtreamPanel& panel) const
{
    for (const PanelKind kind : kinds) {
        panel.answer(names(kind).streams, [list = m_streams[std::size_t(kind)]](const RecordedRequest&) {
            return Reply::json(*list);
        });
        panel.answer(names(kind).categories, Reply::json(m_categories[std::size_t(kind)].toStdString()));
    }
    const testkit::CatalogGenerator generator = m_generator;
    const auto id = [](const RecordedRequest& request, const char* key) {
        return QByteArray::fromStdString(request.queryValue(key).value_or("")).toLongLong();
    };
    panel.answer("get_vod_info", [generator, id](const RecordedRequest& request) {
        return Reply::json(generator.vodInfo(id(request, "vod_id")).toStdString());
    });
    panel.answer("get_series_info", [generator, id](const RecordedRequest& request) {
        const qint64 series = id(request, "series_id");
        return Reply::json(generator.seriesInfo(series, 1 + int(series % 3), 3 + int(series % 5)).toStdString());
    });
}

QByteArray DemoCatalog::playlist(const QUrl& host) const
{
    testkit::PlaylistShape shape;
    shape.host = host.toString();
    return m_generator.playlist(total(), shape);
}

QStringList DemoCatalog::privateBlockedCategories() const
{
    // Horror films: category 3 is "Terror" in every shape of the generator.
    return {m_generator.categoryName(PanelKind::Vod, 3)};
}

fakes::FakePlatform::Build DemoCatalog::preparedBuild(const QStringList& blocked) const
{
    const auto items = [this](PanelKind kind) {
        return platformItems(kind, *m_streams[std::size_t(kind)], m_categories[std::size_t(kind)]);
    };
    fakes::FakePlatform::Build build;
    build.normal.tv = items(PanelKind::Live);
    build.normal.movies = items(PanelKind::Vod);
    build.normal.series = items(PanelKind::Series);
    build.normal.rows = {homeRow("estrenos", "Estrenos de la semana", build.normal.movies),
                         homeRow("series", "Series para maratonear", build.normal.series),
                         homeRow("en-vivo", "En vivo ahora", build.normal.tv)};
    if (!build.normal.movies.isEmpty())
        build.normal.featured = spotlight(build.normal.movies.first().toObject(), m_artworkHost);

    fakes::FakePlatform::Sections safe;
    safe.tv = withoutProtected(build.normal.tv, blocked);
    safe.movies = withoutProtected(build.normal.movies, blocked);
    safe.series = withoutProtected(build.normal.series, blocked);
    safe.rows = {homeRow("estrenos", "Estrenos de la semana", safe.movies),
                 homeRow("series", "Series para maratonear", safe.series),
                 homeRow("en-vivo", "En vivo ahora", safe.tv)};
    if (!safe.movies.isEmpty())
        safe.featured = spotlight(safe.movies.first().toObject(), m_artworkHost);
    build.protectedSections = safe;
    return build;
}

} // namespace sendra::demo
