#include "UI/AccessCode.h"

#include <QTextBoundaryFinder>

#include <unicode/uchar.h>

#include <optional>

namespace sendra::ui {

namespace {

constexpr int codeLength = 4;

// Calls `visit(start, length)` for each user-perceived character until it returns false.
template <typename Visit>
void forEachCharacter(const QString& text, Visit visit)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end > start; end = finder.toNextBoundary()) {
        if (!visit(start, end - start))
            return;
        start = end;
    }
}

// The 0-9 digit a character stands for, by its first code point, when that is a decimal digit of any script.
std::optional<char16_t> asciiDigit(const QString& text, qsizetype start)
{
    const char32_t first = text.at(start).isHighSurrogate() && start + 1 < text.size()
                               ? QChar::surrogateToUcs4(text.at(start), text.at(start + 1))
                               : text.at(start).unicode();
    if (u_charType(UChar32(first)) != U_DECIMAL_DIGIT_NUMBER)
        return std::nullopt;
    const int32_t value = u_charDigitValue(UChar32(first));
    if (value < 0 || value > 9)
        return std::nullopt;
    return char16_t(u'0' + value);
}

} // namespace

QString accessCodeCharacters(const QString& text)
{
    QString kept;
    int count = 0;
    forEachCharacter(text, [&](qsizetype start, qsizetype) {
        if (const std::optional<char16_t> digit = asciiDigit(text, start)) {
            kept += QChar(*digit);
            ++count;
        }
        return count < codeLength;
    });
    return kept;
}

int characterCount(const QString& text)
{
    int count = 0;
    forEachCharacter(text, [&](qsizetype, qsizetype) {
        ++count;
        return true;
    });
    return count;
}

} // namespace sendra::ui
