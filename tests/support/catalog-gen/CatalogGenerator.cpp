#include "catalog-gen/CatalogGenerator.h"

#include <QUrl>

#include <array>
#include <cstdio>
#include <string_view>

namespace sendra::testkit {
namespace {

// splitmix64: portable, so a seed gives the same catalogue on every machine and standard library.
class Dice
{
public:
    explicit Dice(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T, std::size_t N> const T& pick(const std::array<T, N>& pool) { return pool[below(int(N))]; }

private:
    quint64 m_state;
};

quint64 elementSeed(quint64 seed, PanelKind kind, int index)
{
    return seed * 0x100000001B3ULL ^ (quint64(kind) + 1) * 0xC2B2AE3D27D4EB4FULL ^ quint64(index) * 0x165667B19E3779F9ULL;
}

constexpr std::array<std::string_view, 24> kNouns{
    "Viaje", "Corazón", "Señal", "Río", "Ciudad", "Invierno", "Camino", "Niño", "Océano", "Jardín", "Noche",
    "Canción", "Montaña", "Sueño", "Ángel", "Guerra", "Puerto", "León", "Espejo", "Fuego", "Horizonte",
    "Misión", "Tiburón", "Equipo"};
constexpr std::array<std::string_view, 16> kAdjectives{
    "Último", "Oscuro", "Pequeño", "Perdido", "Eterno", "Salvaje", "Dorado", "Rápido", "Silencioso", "Público",
    "Mágico", "Frío", "Único", "Íntimo", "Lejano", "Crónico"};
constexpr std::array<std::string_view, 12> kPlaces{
    "Düsseldorf", "Málaga", "São Paulo", "Bogotá", "Zürich", "Córdoba", "Medellín", "Kraków", "Ñuñoa",
    "Reikiavik", "Tōkyō", "Nueva York"};
constexpr std::array<std::string_view, 20> kGenres{
    "Acción", "Comedia", "Drama", "Terror", "Animación", "Documentales", "Ciencia Ficción", "Románticas",
    "Niños y Familia", "Deportes", "Noticias", "Música", "Clásicos", "Estrenos", "Suspenso", "Aventura",
    "Western", "Bélicas", "Telenovelas", "Anime"};
constexpr std::array<std::string_view, 10> kRegions{"ES", "LAT", "MX", "AR", "CO", "4K", "FHD", "VIP", "PT", "FR"};
constexpr std::array<std::string_view, 6> kExtensions{"mkv", "mp4", "mp4", "avi", "MKV", "ts"};
constexpr std::array<std::string_view, 5> kChannelTags{"HD", "FHD", "4K", "SD", "HEVC"};

// Appends JSON text; with PHP-style escaping on, "/" becomes "\/" and every non-ASCII character a \u escape.
class JsonOut
{
public:
    explicit JsonOut(QByteArray& out) : m_out(out) {}
    bool phpEscapes = false;

    JsonOut& raw(std::string_view text)
    {
        m_out.append(text.data(), qsizetype(text.size()));
        return *this;
    }
    JsonOut& key(std::string_view name)
    {
        separator();
        m_out.append('"').append(name.data(), qsizetype(name.size())).append("\":");
        m_pendingComma = false;
        return *this;
    }
    JsonOut& open(char bracket)
    {
        separator();
        m_out.append(bracket);
        m_pendingComma = false;
        return *this;
    }
    JsonOut& close(char bracket)
    {
        m_out.append(bracket);
        m_pendingComma = true;
        return *this;
    }
    JsonOut& text(const QString& value)
    {
        separator();
        m_out.append('"');
        if (phpEscapes) {
            for (const QChar c : value)
                escapeUnit(c.unicode());
        } else {
            for (const char c : value.toUtf8())
                escapeUnit(char16_t(static_cast<unsigned char>(c)), true);
        }
        m_out.append('"');
        m_pendingComma = true;
        return *this;
    }
    JsonOut& text(std::string_view value) { return text(QString::fromUtf8(value.data(), qsizetype(value.size()))); }
    JsonOut& text(const char* value) { return text(std::string_view(value)); }
    JsonOut& number(qint64 value)
    {
        separator();
        m_out.append(QByteArray::number(value));
        m_pendingComma = true;
        return *this;
    }
    JsonOut& decimal(double value)
    {
        separator();
        m_out.append(QByteArray::number(value, 'g', 6));
        m_pendingComma = true;
        return *this;
    }
    JsonOut& literal(std::string_view value)
    {
        separator();
        raw(value);
        m_pendingComma = true;
        return *this;
    }

private:
    // A UTF-16 unit (PHP escapes) or, with `utf8Byte`, one byte of UTF-8 text that is copied unless it must be escaped.
    void escapeUnit(char16_t u, bool utf8Byte = false)
    {
        if (u == '"' || u == '\\') {
            m_out.append('\\').append(char(u));
        } else if (u == '/' && phpEscapes) {
            m_out.append("\\/");
        } else if (u < 0x20 || (u >= 0x80 && !utf8Byte)) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", unsigned(u));
            m_out.append(buffer);
        } else {
            m_out.append(char(u));
        }
    }
    void separator()
    {
        if (m_pendingComma)
            m_out.append(',');
    }
    QByteArray& m_out;
    bool m_pendingComma = false;
};

QString sv(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString makeTitle(Dice& dice, PanelKind kind, int index)
{
    if (kind == PanelKind::Live) {
        return QStringLiteral("%1 | %2 %3 %4")
            .arg(sv(dice.pick(kRegions)), sv(dice.pick(kNouns)), QString::number(index % 97 + 1),
                 sv(dice.pick(kChannelTags)));
    }
    QString title;
    switch (dice.below(4)) {
    case 0: title = QStringLiteral("El %1 %2").arg(sv(dice.pick(kNouns)), sv(dice.pick(kAdjectives))); break;
    case 1: title = QStringLiteral("%1 en %2").arg(sv(dice.pick(kNouns)), sv(dice.pick(kPlaces))); break;
    case 2: title = QStringLiteral("La %1 de %2 %3").arg(sv(dice.pick(kNouns)), sv(dice.pick(kPlaces))).arg(dice.below(9) + 2); break;
    default: title = QStringLiteral("%1: \"%2\" %3").arg(sv(dice.pick(kAdjectives)), sv(dice.pick(kNouns))).arg(index); break;
    }
    if (dice.chance(40))
        title += QStringLiteral(" (%1)").arg(1950 + dice.below(75));
    if (dice.chance(3))
        title += QStringLiteral(" 🎬");
    return title;
}

// Writes a value that panels send as a number, a numeric text or (loosely) an empty text or null.
void looseNumber(JsonOut& json, Dice& dice, bool loose, qint64 value)
{
    if (!loose || dice.chance(70))
        json.number(value);
    else
        json.text(QString::number(value));
}

// With a drawing host (`drawn`), few entries go without a picture and the first ones of a list never do, so
// the demo shows mostly artwork.
void looseImage(JsonOut& json, Dice& dice, bool loose, const QString& url, bool drawn = false, int index = 0)
{
    int roll = dice.below(100);
    if (drawn && index < 48 && roll >= 96)
        roll = 0;
    if (!loose || roll < 80)
        json.text(url);
    else if (roll < (drawn ? 96 : 85)) // the panel's own path, relative to its address
        json.text(url.mid(url.indexOf(u'/', 8)));
    else if (roll < (drawn ? 98 : 95))
        json.text(QString());
    else
        json.literal("null");
}

// A category id in a category list that always names its category: a number or a numeric text.
void namingCategory(JsonOut& json, Dice& dice, int category)
{
    if (dice.below(100) < 85)
        json.text(QString::number(category));
    else
        json.number(category);
}

void looseCategory(JsonOut& json, Dice& dice, bool loose, int category)
{
    const int roll = dice.below(100);
    if (!loose || roll < 85)
        json.text(QString::number(category));
    else if (roll < 93)
        json.number(category);
    else if (roll < 97)
        json.literal("null");
    else
        json.text(QString());
}

// One of the shapes with which real lists break: no usable id or no usable name.
void brokenIdentity(JsonOut& json, int variant, const char* idKey, const QString& title)
{
    switch (variant % 6) {
    case 0: json.key(idKey).literal("null").key("name").text(title); break;
    case 1: json.key(idKey).open('{').close('}').key("name").text(title); break;
    case 2: json.key(idKey).open('[').close(']').key("name").text(title); break;
    case 3: json.key(idKey).number(1).key("name").text(QString()); break;
    case 4: json.key(idKey).number(2).key("name").number(12345); break;
    default: json.key(idKey).number(3); break;
    }
}

QString withAdultMark(const CatalogShape& shape, QString title, int index)
{
    if (shape.adultCategories > 0 && index % 53 == 5)
        title += QStringLiteral(" (+18)");
    return title;
}

QString artworkTitleQuery(const QString& title)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(title));
}

} // namespace

CatalogGenerator::CatalogGenerator(CatalogShape shape) : m_shape(shape)
{
    if (m_shape.categories < 1)
        m_shape.categories = 1;
}

bool CatalogGenerator::isAdultCategory(int category) const
{
    return m_shape.adultCategories > 0 && category > m_shape.categories - m_shape.adultCategories;
}

QString CatalogGenerator::categoryName(PanelKind kind, int category) const
{
    Dice dice(elementSeed(m_shape.seed, kind, -1 - category));
    const QString genre = sv(kGenres[std::size_t(category) % kGenres.size()]);
    if (isAdultCategory(category)) {
        const int nth = category - (m_shape.categories - m_shape.adultCategories);
        const QString suffix = nth > 1 ? QStringLiteral(" %1").arg(nth) : QString();
        switch (kind) {
        case PanelKind::Live: return QStringLiteral("XXX | Adultos 24h") + suffix;
        case PanelKind::Vod: return QStringLiteral("Películas +18") + suffix;
        case PanelKind::Series: return QStringLiteral("Series Eróticas") + suffix;
        }
    }
    if (m_shape.distinctCategoryNames) {
        // Two genres keep a plain name in every kind, as real panels name them; the others are told apart
        // by kind and by a region that follows from the category's number.
        if (category < int(kGenres.size()) && (genre == u"Deportes" || genre == u"Niños y Familia"))
            return genre;
        const std::size_t round = std::size_t(category) / kGenres.size();
        const QString region = sv(kRegions[round % kRegions.size()]);
        const QString extra = round >= kRegions.size() ? QStringLiteral(" %1").arg(category) : QString();
        switch (kind) {
        case PanelKind::Live: return QStringLiteral("%1 | %2").arg(region, genre) + extra;
        case PanelKind::Vod: return QStringLiteral("Películas %1 %2").arg(genre, region) + extra;
        case PanelKind::Series: return QStringLiteral("Series %1 (%2)").arg(genre, region) + extra;
        }
    }
    switch (kind) {
    case PanelKind::Live: return QStringLiteral("%1 | %2 %3").arg(sv(dice.pick(kRegions)), genre).arg(category);
    case PanelKind::Vod: return QStringLiteral("Películas %1 %2").arg(genre, sv(dice.pick(kRegions)));
    case PanelKind::Series: return QStringLiteral("Series %1 (%2)").arg(genre).arg(category);
    }
    return genre;
}

QByteArray CatalogGenerator::categories(PanelKind kind) const
{
    QByteArray out;
    JsonOut json(out);
    Dice dice(elementSeed(m_shape.seed, kind, -100000));
    json.open('[');
    for (int c = 1; c <= m_shape.categories; ++c) {
        json.phpEscapes = m_shape.looseTypes && dice.chance(50);
        json.open('{').key("category_id");
        if (m_shape.distinctCategoryNames)
            namingCategory(json, dice, c);
        else
            looseCategory(json, dice, m_shape.looseTypes, c);
        json.key("category_name").text(categoryName(kind, c)).key("parent_id").number(0).close('}');
    }
    json.close(']');
    return out;
}

QString CatalogGenerator::title(PanelKind kind, int index) const
{
    Dice dice(elementSeed(m_shape.seed, kind, index));
    return withAdultMark(m_shape, makeTitle(dice, kind, index), index);
}

QString CatalogGenerator::artworkAddress(PanelKind kind, qint64 id, const QString& title, int index) const
{
    if (m_shape.artworkBase.isEmpty()) {
        return QStringLiteral("http://img.example.test/%1/%2.jpg")
            .arg(kind == PanelKind::Live ? "logos" : "posters")
            .arg(id);
    }
    QString picture;
    switch (kind) {
    case PanelKind::Live: picture = QStringLiteral("logo/%1.png").arg(id); break;
    case PanelKind::Vod: picture = QStringLiteral("poster/film-%1.jpg").arg(id); break;
    case PanelKind::Series: picture = QStringLiteral("poster/series-%1.jpg").arg(id); break;
    }
    // A few pictures are missing or slow, so the placeholders are seen too.
    if (index % 61 == 50)
        picture = QStringLiteral("missing/") + picture;
    else if (index % 211 == 100)
        picture = QStringLiteral("slow/") + picture;
    return m_shape.artworkBase + QStringLiteral("/art/") + picture + QStringLiteral("?t=") + artworkTitleQuery(title);
}

int CatalogGenerator::expectedEntries(int count) const
{
    return m_shape.brokenEvery > 0 ? count - count / m_shape.brokenEvery : count;
}

QByteArray CatalogGenerator::streams(PanelKind kind, int count) const
{
    const bool loose = m_shape.looseTypes;
    const char* idKey = kind == PanelKind::Series ? "series_id" : "stream_id";
    QByteArray out;
    out.reserve(qsizetype(count) * (kind == PanelKind::Series ? 520 : 340));
    JsonOut json(out);
    json.open('[');
    for (int i = 0; i < count; ++i) {
        Dice dice(elementSeed(m_shape.seed, kind, i));
        const QString name = withAdultMark(m_shape, makeTitle(dice, kind, i), i);
        const qint64 id = 1000 + qint64(i) * 7;
        const int category = 1 + dice.below(m_shape.categories);
        json.phpEscapes = loose && dice.chance(60);
        json.open('{').key("num").number(i + 1);
        if (m_shape.brokenEvery > 0 && (i + 1) % m_shape.brokenEvery == 0) {
            brokenIdentity(json, i / m_shape.brokenEvery, idKey, name);
        } else {
            json.key("name").text(name).key(idKey);
            looseNumber(json, dice, loose, id);
        }
        const QString image = artworkAddress(kind, id, name, i);
        const bool drawn = !m_shape.artworkBase.isEmpty();
        switch (kind) {
        case PanelKind::Live:
            json.key("stream_type").text("live").key("stream_icon");
            looseImage(json, dice, loose, image, drawn, i);
            json.key("epg_channel_id");
            if (dice.chance(60))
                json.text(QStringLiteral("canal%1.es").arg(id));
            else
                json.literal("null");
            json.key("added").text(QString::number(1600000000 + i)).key("is_adult").text("0");
            json.key("category_id");
            looseCategory(json, dice, loose, category);
            json.key("category_ids").open('[').number(category).close(']');
            json.key("custom_sid").literal(loose ? "null" : "\"\"").key("tv_archive").number(0);
            json.key("direct_source").text("").key("tv_archive_duration").number(0);
            break;
        case PanelKind::Vod:
            json.key("stream_type").text("movie").key("stream_icon");
            looseImage(json, dice, loose, image, drawn, i);
            json.key("rating");
            if (loose && dice.chance(30))
                json.text(QString());
            else
                json.text(QString::number(dice.below(100) / 10.0, 'f', 1));
            json.key("rating_5based").decimal(dice.below(50) / 10.0);
            json.key("added").text(QString::number(1600000000 + i)).key("is_adult").text("0");
            json.key("category_id");
            looseCategory(json, dice, loose, category);
            json.key("category_ids").open('[').number(category).close(']');
            // A stream's own category name makes a group of its own beside the listed one: not in the demo.
            if (loose && !m_shape.distinctCategoryNames && dice.chance(2))
                json.key("category_name").text(categoryName(kind, category));
            json.key("container_extension");
            if (loose && dice.chance(3))
                json.literal("null");
            else
                json.text(dice.pick(kExtensions));
            json.key("custom_sid").text("").key("direct_source").text("");
            break;
        case PanelKind::Series:
            json.key("cover");
            looseImage(json, dice, loose, image, drawn, i);
            json.key("plot").text(QStringLiteral("Una historia de %1 y %2 en %3.")
                                      .arg(sv(dice.pick(kNouns)), sv(dice.pick(kNouns)), sv(dice.pick(kPlaces))));
            json.key("cast").text("Ana Pérez, José Núñez").key("director").text("");
            json.key("genre").text(dice.pick(kGenres)).key("releaseDate").text("2019-05-01");
            json.key("last_modified").text(QString::number(1650000000 + i));
            json.key("rating").text(QString::number(dice.below(10)));
            json.key("rating_5based").decimal(dice.below(50) / 10.0);
            json.key("backdrop_path").open('[');
            if (drawn)
                json.text(m_shape.artworkBase + QStringLiteral("/art/wide/series-%1.jpg?t=").arg(id) + artworkTitleQuery(name));
            else
                json.text(QStringLiteral("https://img.example.test/bd/%1.jpg").arg(id));
            json.close(']');
            json.key("youtube_trailer").text("").key("episode_run_time").text(QString::number(20 + dice.below(40)));
            json.key("category_id");
            looseCategory(json, dice, loose, category);
            json.key("category_ids").open('[').number(category).close(']');
            break;
        }
        json.close('}');
    }
    json.close(']');
    return out;
}

QByteArray CatalogGenerator::vodInfo(qint64 id) const
{
    Dice dice(elementSeed(m_shape.seed, PanelKind::Vod, int(id % 1000003) + 2000000));
    QByteArray out;
    JsonOut json(out);
    json.phpEscapes = m_shape.looseTypes;
    json.open('{').key("info");
    if (m_shape.looseTypes && id % 17 == 0) {
        json.open('[').close(']');
    } else {
        const bool emptyPlot = m_shape.looseTypes && dice.chance(30);
        const QString name = makeTitle(dice, PanelKind::Vod, int(id));
        json.open('{').key("movie_image");
        if (m_shape.artworkBase.isEmpty())
            json.text(QStringLiteral("http://img.example.test/posters/%1.jpg").arg(id));
        else
            json.text(m_shape.artworkBase + QStringLiteral("/art/poster/film-%1.jpg?t=").arg(id) + artworkTitleQuery(name));
        json.key("name").text(name);
        json.key("plot").text(emptyPlot ? QString() : QStringLiteral("Un %1 busca su %2.").arg(sv(dice.pick(kNouns)), sv(dice.pick(kNouns))));
        json.key("description").text(QStringLiteral("Descripción de la película %1.").arg(id));
        json.key("genre").text(QStringLiteral("%1, %2").arg(sv(dice.pick(kGenres)), sv(dice.pick(kGenres))));
        json.key("releasedate").text(QStringLiteral("%1-03-14").arg(1980 + dice.below(44)));
        json.key("year");
        looseNumber(json, dice, m_shape.looseTypes, 1980 + dice.below(44));
        json.key("duration_secs").number(5400).key("backdrop_path").open('[').close(']').close('}');
    }
    json.key("movie_data").open('{').key("stream_id").number(id).key("container_extension").text("mkv").close('}');
    json.close('}');
    return out;
}

QByteArray CatalogGenerator::seriesInfo(qint64 id, int seasons, int episodesPerSeason) const
{
    Dice dice(elementSeed(m_shape.seed, PanelKind::Series, int(id % 1000003) + 3000000));
    const bool loose = m_shape.looseTypes;
    QByteArray out;
    JsonOut json(out);
    json.phpEscapes = loose;
    json.open('{').key("seasons").open('[');
    for (int s = 1; s <= seasons; ++s)
        json.open('{').key("season_number").number(s).key("name").text(QStringLiteral("Temporada %1").arg(s)).close('}');
    json.close(']');
    json.key("info").open('{').key("name").text(makeTitle(dice, PanelKind::Series, int(id)));
    json.key("plot").text(QStringLiteral("Temporadas de %1.").arg(sv(dice.pick(kPlaces))));
    json.key("genre").text(dice.pick(kGenres)).key("releaseDate").text("2015-09-20").close('}');
    json.key("episodes").open('{');
    for (int s = 1; s <= seasons; ++s) {
        json.key(QByteArray::number(s).toStdString()).open('[');
        for (int e = 1; e <= episodesPerSeason; ++e) {
            const qint64 episodeId = id * 1000 + s * 100 + e;
            json.open('{').key("id");
            looseNumber(json, dice, loose, episodeId);
            json.key("episode_num");
            looseNumber(json, dice, loose, e);
            json.key("title").text(QStringLiteral("Capítulo %1 — %2").arg(e).arg(sv(dice.pick(kNouns))));
            json.key("container_extension").text(dice.pick(kExtensions)).key("info");
            if (loose && dice.chance(20))
                json.open('[').close(']');
            else
                json.open('{').key("duration_secs").number(2700).close('}');
            json.key("season").number(s).key("direct_source").text("").close('}');
        }
        json.close(']');
    }
    json.close('}').close('}');
    return out;
}

QByteArray CatalogGenerator::playlist(int count, const PlaylistShape& shape) const
{
    const QByteArray eol = shape.crlf ? "\r\n" : "\n";
    const QByteArray host = shape.host.toUtf8();
    QByteArray out;
    out.reserve(qsizetype(count) * 250 + 64);
    if (shape.bom)
        out.append("\xEF\xBB\xBF");
    if (shape.header)
        out.append("#EXTM3U url-tvg=\"http://epg.example.test/guide.xml\"").append(eol);
    for (int i = 0; i < count; ++i) {
        const int band = i % 10;
        const PanelKind kind = band < 3 ? PanelKind::Live : band < 8 ? PanelKind::Vod : PanelKind::Series;
        Dice dice(elementSeed(m_shape.seed ^ 0x5EED, kind, i));
        const QString name = withAdultMark(m_shape, makeTitle(dice, kind, i), i);
        const QByteArray title = name.toUtf8();
        const QByteArray group = categoryName(kind, 1 + dice.below(m_shape.categories)).toUtf8();
        const qint64 id = 5000 + qint64(i) * 3;
        out.append("#EXTINF:-1");
        if (shape.noTvgIdEvery > 0 && (i + 1) % shape.noTvgIdEvery == 0) {
            if (i % 2 == 0)
                out.append(" tvg-id=\"\"");
        } else {
            out.append(" tvg-id=\"").append(QByteArray::number(id)).append(kind == PanelKind::Live ? ".tv\"" : "\"");
        }
        out.append(" tvg-name=\"").append(title).append('"');
        if (m_shape.artworkBase.isEmpty()) {
            out.append(" tvg-logo=\"http://img.example.test/logos/").append(QByteArray::number(id)).append(".png\"");
        } else {
            // Every tenth logo is written relative to the playlist's host.
            QString logo = artworkAddress(kind, id, name, i);
            if (i % 10 == 4)
                logo = logo.mid(logo.indexOf(u'/', 8));
            out.append(" tvg-logo=\"").append(logo.toUtf8()).append('"');
        }
        out.append(" group-title=\"").append(group).append("\",").append(title).append(eol);
        out.append(host);
        switch (kind) {
        case PanelKind::Live: out.append("/live/demo/s3cret/"); break;
        case PanelKind::Vod: out.append("/movie/demo/s3cret/"); break;
        case PanelKind::Series: out.append("/series/demo/s3cret/"); break;
        }
        out.append(QByteArray::number(id)).append(kind == PanelKind::Live ? ".ts" : ".mkv").append(eol);
    }
    return out;
}

} // namespace sendra::testkit
