#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace orrinth {

// The library's navigation destinations; the text value is the section's Spanish title.
enum class MainDestination { home, live, movies, series, categories, favorites, search, settings };

inline constexpr std::array<MainDestination, 8> allMainDestinations{
    MainDestination::home,       MainDestination::live,      MainDestination::movies, MainDestination::series,
    MainDestination::categories, MainDestination::favorites, MainDestination::search, MainDestination::settings};

QString rawValue(MainDestination destination);
std::optional<MainDestination> mainDestinationFromRawValue(QStringView text);

// How the user signs in: a panel, or an M3U address.
enum class LoginSourceMethod { xtream, playlist };

// Where the access flow goes next.
enum class AccessFlowRoute { freeSource, privateIdentifier, privatePlaylistUnavailable };

} // namespace orrinth
