#pragma once

// Writes the answers a real Xtream Codes panel gives (category lists, stream lists, film and series details)
// and M3U playlists, of any size, from a seed. The output imitates what panels in the wild send: titles with
// accents and digits, PHP's escaped slashes and \u escapes, numbers as text, empty strings, nulls and "[]"
// where an object is expected. Entry i of a list depends only on (seed, kind, i), so a longer list starts
// with the shorter one.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace sendra::testkit {

enum class PanelKind { Live, Vod, Series };

struct CatalogShape
{
    quint64 seed = 1;
    int categories = 48;   // per kind
    bool looseTypes = true; // numbers as text, nulls, "[]" objects, escaped slashes
    int brokenEvery = 0;    // every n-th stream element has no usable id or name (0: none)

    // The demo's shape; the defaults keep every list byte for byte as before.
    // Artwork on a host that draws it ("/art/..." addresses with the title in the query); empty: a host
    // that does not exist.
    QString artworkBase;
    // The last n categories of each kind carry an adult name, and every 53rd title an adult mark.
    int adultCategories = 0;
    // Every category of a kind has its own name and id; a few genres share one plain name across kinds.
    bool distinctCategoryNames = false;
};

struct PlaylistShape
{
    bool header = true;
    bool crlf = false;
    bool bom = false;
    int noTvgIdEvery = 3; // every n-th entry has an empty or missing tvg-id (0: none)
    QString host = QStringLiteral("http://cdn.example.test:8080");
};

class CatalogGenerator
{
public:
    explicit CatalogGenerator(CatalogShape shape = {});

    const CatalogShape& shape() const { return m_shape; }

    QByteArray categories(PanelKind kind) const;
    QByteArray streams(PanelKind kind, int count) const;
    QByteArray vodInfo(qint64 id) const;
    // Episodes keyed by season ("1", "2", ...) as most panels answer.
    QByteArray seriesInfo(qint64 id, int seasons, int episodesPerSeason) const;
    QByteArray playlist(int count, const PlaylistShape& shape = {}) const;

    // How many of `count` stream elements carry a usable id and name.
    int expectedEntries(int count) const;
    // The title written for element `index` of a list (broken elements included).
    QString title(PanelKind kind, int index) const;
    QString categoryName(PanelKind kind, int category) const;
    // Whether a category carries an adult name (only with `adultCategories`).
    bool isAdultCategory(int category) const;
    // The artwork address of element `index` of a list (`id` as written), before loose variants.
    QString artworkAddress(PanelKind kind, qint64 id, const QString& title, int index) const;

private:
    CatalogShape m_shape;
};

} // namespace sendra::testkit
