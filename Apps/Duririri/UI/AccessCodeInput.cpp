#include "UI/AccessCodeInput.h"

#include <QTextBoundaryFinder>

#include <unicode/uchar.h>

namespace sendra::ui {

namespace {

constexpr int codeLength = 4;

// Calls `visit(start, length)` for each user-perceived character until it returns false.
template<typename Visit>
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

// A character is a number when its first code point has a Unicode numeric type.
bool isNumber(const QString& text, qsizetype start)
{
    const char32_t first = text.at(start).isHighSurrogate() && start + 1 < text.size()
                               ? QChar::surrogateToUcs4(text.at(start), text.at(start + 1))
                               : text.at(start).unicode();
    return u_getIntPropertyValue(UChar32(first), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

} // namespace

QString accessCodeCharacters(const QString& text)
{
    QString kept;
    int count = 0;
    forEachCharacter(text, [&](qsizetype start, qsizetype length) {
        if (isNumber(text, start)) {
            kept += QStringView(text).mid(start, length);
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
