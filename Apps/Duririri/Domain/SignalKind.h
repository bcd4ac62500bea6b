#pragma once

#include <QHashFunctions>
#include <QString>

#include <array>
#include <optional>

namespace sendra {

// The kind of a catalogue entry. Stored as "tv", "movies", "series".
enum class SignalKind { broadcast, cinema, episodic };

// Every walk over the kinds uses this order: live, films, series.
inline constexpr std::array<SignalKind, 3> allSignalKinds{SignalKind::broadcast, SignalKind::cinema,
                                                          SignalKind::episodic};

QString storedValue(SignalKind kind);
// Exact, case-sensitive match of a stored value; anything else is no kind.
std::optional<SignalKind> signalKindFromStored(const QString& text);
// The kind's title as the Spanish text the text lookup takes: "TV", "Películas", "Series".
const char* titleText(SignalKind kind);

size_t qHash(SignalKind kind, size_t seed = 0) noexcept;

} // namespace sendra
