#pragma once

#include <QString>

#include <initializer_list>
#include <optional>

namespace sendra {

// Fills each "%lld" of `format`, in order, with the next value written as a plain integer: no grouping, no locale
// digits ("1234", "-5"); "%%" stands for "%". None when the format is malformed: a "%" that starts anything else,
// or not exactly one placeholder per value. Never goes through a printf-family call.
std::optional<QString> fillIntegers(const QString& format, std::initializer_list<qint64> values);

// The translation filled; the Spanish text filled instead when the translation does not fill.
QString fillTranslated(const QString& translated, const QString& spanish, std::initializer_list<qint64> values);

// A Spanish text with integer placeholders (marked with L10n::noop at its literal), looked up in the interface
// language and filled as fillTranslated does.
QString countedText(const char* spanish, std::initializer_list<qint64> values);

} // namespace sendra
