#include "SyntheticCatalog.h"

#include <QRandomGenerator>
#include <QUrl>

#include <array>

namespace sendra::bench {

namespace {

constexpr std::array nouns{"Canción", "Matrix", "Noche", "Río", "Café", "Ciudad", "Camino", "Sueño", "León", "Ángel",
                           "Fuego", "Misión", "Horizonte", "Equipo", "Puerto", "Montaña", "Océano", "Viaje",
                           "Corazón", "Invierno", "Jardín", "Espejo", "Tiburón", "Guerra", "Road", "Star", "Night",
                           "Storm", "House", "King", "Queen", "Secreto", "Verano", "Tormenta", "Frontera", "Isla",
                           "Hermano", "Código", "Imperio", "Destino", "Laberinto", "Silencio", "Memoria", "Bosque",
                           "Desierto", "Castillo", "Sombra", "Palacio", "Tren", "Reino", "Legado", "Abismo",
                           "Cazador", "Planeta", "Guardián", "Maestro", "Leyenda", "Pirata", "Dragón", "Ventana"};
constexpr std::array adjectives{"Último", "Oscuro", "Pequeño", "Perdido", "Eterno", "Salvaje", "Dorado", "Rápido",
                                "Silencioso", "Público", "Mágico", "Frío", "Único", "Íntimo", "Lejano", "Crónico",
                                "Blue", "Dark", "Last", "Lost", "Rojo", "Blanco", "Negro", "Secreto", "Infinito",
                                "Prohibido", "Invisible", "Roto", "Sagrado", "Feroz"};
constexpr std::array places{"Düsseldorf", "Málaga", "São Paulo", "Bogotá", "Zürich", "Córdoba", "Medellín",
                            "Kraków", "Ñuñoa", "Reikiavik", "Tōkyō", "Nueva York", "Lima", "Quito", "Sevilla",
                            "Berlín", "París", "Roma", "Cádiz", "Valparaíso"};
constexpr std::array genres{"Acción", "Comedia", "Drama", "Terror", "Animación", "Documentales", "Románticas",
                            "Deportes", "Noticias", "Infantil", "Música", "Cine", "Estrenos", "Clásicos", "4K"};

QString pick(QRandomGenerator& random, const auto& pool)
{
    return QString::fromUtf8(pool[random.bounded(int(pool.size()))]);
}

SignalKind kindFor(QRandomGenerator& random)
{
    const int roll = random.bounded(4);
    return roll == 0 ? SignalKind::broadcast : roll == 3 ? SignalKind::episodic : SignalKind::cinema;
}

} // namespace

QList<MediaNode> syntheticCatalog(int entries, int groups, uint64_t seed)
{
    QRandomGenerator random{quint32(seed ^ (seed >> 32))};
    struct Group {
        SignalKind kind;
        QString id;
        QString name;
    };
    QList<Group> categories;
    for (int g = 0; g < groups; ++g) {
        const SignalKind kind = kindFor(random);
        QString name = pick(random, genres) + u' ' + pick(random, nouns);
        if (random.bounded(3) == 0)
            name += u' ' + QString::number(random.bounded(1, 40));
        if (random.bounded(200) == 0)
            name = QStringLiteral("XXX ") + name;
        categories.append({kind, QString::number(g + 1), name});
    }

    QList<MediaNode> nodes;
    nodes.reserve(entries);
    for (int i = 0; i < entries; ++i) {
        const Group& group = categories[random.bounded(int(categories.size()))];
        MediaNode node;
        node.kind = group.kind;
        node.id = QString::number(random.bounded(100) == 0 ? random.bounded(i + 1) + 1 : i + 1);
        switch (random.bounded(4)) {
        case 0: node.title = pick(random, nouns) + u' ' + pick(random, adjectives); break;
        case 1: node.title = QStringLiteral("El ") + pick(random, nouns) + QStringLiteral(" de ") + pick(random, places); break;
        case 2: node.title = pick(random, adjectives) + u' ' + pick(random, nouns) + u' ' + pick(random, places); break;
        default: node.title = QStringLiteral("La ") + pick(random, nouns) + u' ' + pick(random, adjectives); break;
        }
        if (random.bounded(10) < 4)
            node.title += u' ' + QString::number(random.bounded(1, 2025));
        if (random.bounded(300) == 0)
            node.title += QStringLiteral(" +18");
        node.groupID = group.id;
        node.groupName = group.name;
        if (random.bounded(10) < 7)
            node.artwork = QUrl(QStringLiteral("http://img.example/%1.jpg").arg(i));
        node.fileSuffix = node.kind == SignalKind::broadcast ? QStringLiteral("ts") : QStringLiteral("mkv");
        nodes.append(std::move(node));
    }
    return nodes;
}

CommandFeed syntheticPreparedFeed(const QList<MediaNode>& catalog, uint64_t seed)
{
    QRandomGenerator random{quint32(seed)};
    CommandFeed feed;
    feed.revision = 42;
    for (int l = 0; l < 10 && !catalog.isEmpty(); ++l) {
        CommandLane lane{QStringLiteral("lane-%1").arg(l), QStringLiteral("Carril %1").arg(l), QStringLiteral("Sub"), {}};
        for (int n = 0; n < 30; ++n) {
            MediaNode node = catalog[random.bounded(int(catalog.size()))];
            const int variant = random.bounded(4);
            if (variant == 1)
                node.title = node.title.toUpper();
            else if (variant == 2)
                node.id = QStringLiteral("x") + node.id;
            else if (variant == 3)
                node.title += QStringLiteral(" (extra)");
            lane.nodes.append(node);
        }
        feed.lanes.append(lane);
    }
    if (!feed.lanes.isEmpty())
        feed.spotlight = feed.lanes.first().nodes.first();
    return feed;
}

} // namespace sendra::bench
