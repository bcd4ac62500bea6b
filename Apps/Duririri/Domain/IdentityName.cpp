#include "Domain/IdentityName.h"

namespace sendra {

namespace {

bool isLineBreakOrTab(char32_t c)
{
    return c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' || c == 0x85 || c == 0x2028
        || c == 0x2029;
}

// Embeddings, overrides (U+202A to U+202E) and isolates (U+2066 to U+2069).
bool isDirectionControl(char32_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Nothing a reader sees: blanks, format characters (zero-width space and joiners, direction marks, the byte
// order mark), variation selectors and the letters that fonts draw empty.
bool isInvisible(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Format:
    case QChar::Other_Control:
        return true;
    default:
        break;
    }
    return c == 0x034F || c == 0x115F || c == 0x1160 || c == 0x2800 || c == 0x3164 || c == 0xFFA0
        || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF) || (c >= 0x180B && c <= 0x180F);
}

} // namespace

QString identityName(const QString& typed)
{
    QString name;
    name.reserve(typed.size());
    bool visible = false;
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const QChar unit = typed.at(i);
        char32_t c = unit.unicode();
        if (unit.isHighSurrogate() && i + 1 < typed.size() && typed.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, typed.at(i + 1));
            ++i;
        } else if (unit.isSurrogate()) {
            continue;
        }
        if (isLineBreakOrTab(c)) {
            name += u' ';
            continue;
        }
        if (QChar::category(c) == QChar::Other_Control || isDirectionControl(c))
            continue;
        visible = visible || !isInvisible(c);
        name += QStringView(QChar::fromUcs4(c));
    }
    return visible ? name.trimmed() : QString();
}

} // namespace sendra
