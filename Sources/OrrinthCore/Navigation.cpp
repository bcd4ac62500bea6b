#include "OrrinthCore/Navigation.h"

namespace orrinth {

QString rawValue(MainDestination destination)
{
    switch (destination) {
    case MainDestination::home:
        return QStringLiteral("Inicio");
    case MainDestination::live:
        return QStringLiteral("TV");
    case MainDestination::movies:
        return QStringLiteral("Películas");
    case MainDestination::series:
        return QStringLiteral("Series");
    case MainDestination::categories:
        return QStringLiteral("Categorías");
    case MainDestination::favorites:
        return QStringLiteral("Favoritos");
    case MainDestination::search:
        return QStringLiteral("Buscar");
    case MainDestination::settings:
        return QStringLiteral("Configuración");
    }
    return {};
}

std::optional<MainDestination> mainDestinationFromRawValue(QStringView text)
{
    for (const MainDestination destination : allMainDestinations) {
        if (text == rawValue(destination))
            return destination;
    }
    return std::nullopt;
}

} // namespace orrinth
