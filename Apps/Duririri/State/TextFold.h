#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace sendra {

// The comparison form of titles, group names and queries (the home content policy's normalised form), as UTF-8
// so that a search scans compact bytes. Equality, prefix and substring tests on these bytes give the same
// answers as on the folded text itself.
std::string foldedUtf8(QStringView text);
void appendFoldedUtf8(QStringView text, std::string& out);
// The same from valid UTF-8 when that needs no more than a table of Latin letters (almost every title); false, with
// `out` untouched, when the text has to be decoded for appendFoldedUtf8.
bool appendFoldedFromUtf8(std::string_view utf8, std::string& out);
// The same form as text, for looking up the policy's blocked names.
QString foldedText(QStringView text);

// Whether a folded text contains one of the home content policy's adult keywords.
bool containsAdultKeyword(std::string_view folded);

} // namespace sendra
