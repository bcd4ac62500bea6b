#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace sendra {

// Case and diacritics folded, then lower-cased: "Películas Acción" -> "peliculas accion". Characters without a
// decomposition ("ø", "ß", non-Latin letters) are only lower-cased.
QString foldedLower(QStringView text);

// The group id fallback of panel entries: the folded name with every run of characters outside a-z and 0-9
// turned into one "-", trimmed of "-" at both ends. "Películas de Acción" -> "peliculas-de-accion".
QString groupSlug(QStringView name);

// foldedLower of UTF-8 text, as UTF-8, written into `out` (reused between calls: addresses are folded by the
// hundred thousand and are nearly always ASCII, which takes no detour through QString).
void foldedLowerUtf8(std::string_view utf8, std::string& out);

} // namespace sendra
