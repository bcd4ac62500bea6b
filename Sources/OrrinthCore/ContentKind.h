#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace orrinth {

// The kind of a catalogue entry. The stored text values are "tv", "movies" and "series".
enum class ContentKind { live, movie, series };

// Every kind, in the order kinds are listed everywhere (live, films, series).
inline constexpr std::array<ContentKind, 3> allContentKinds{ContentKind::live, ContentKind::movie,
                                                            ContentKind::series};

QString rawValue(ContentKind kind);

// Exact, case-sensitive match of a text value; anything else is no kind.
std::optional<ContentKind> contentKindFromRawValue(QStringView text);

} // namespace orrinth
