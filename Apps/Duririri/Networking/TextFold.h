#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace sendra {

// The group id fallback of panel entries: the folded name (case and accents folded, lower-cased) with every run
// of characters outside a-z and 0-9 turned into one "-", trimmed of "-" at both ends.
// "Películas de Acción" -> "peliculas-de-accion".
QString groupSlug(const QString& name);

// The folded, lower-cased form of UTF-8 text, as UTF-8, written into `out` (reused between calls: addresses are
// folded by the hundred thousand and are nearly always ASCII, which takes no detour through QString). Only
// meant for substring searches: surrounding blanks may be trimmed.
void foldedLowerUtf8(std::string_view utf8, std::string& out);

} // namespace sendra
