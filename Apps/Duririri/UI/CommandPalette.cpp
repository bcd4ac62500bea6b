#include "UI/CommandPalette.h"

#include "Domain/ProductBrand.h"

#include <limits>

namespace sendra::ui {

namespace {

bool isAlphanumeric(char32_t c)
{
    if (QChar::isLetterOrNumber(c))
        return true;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

int hexValue(char32_t c)
{
    if (c >= U'0' && c <= U'9')
        return int(c - U'0');
    if (c >= U'a' && c <= U'f')
        return int(c - U'a') + 10;
    if (c >= U'A' && c <= U'F')
        return int(c - U'A') + 10;
    return -1;
}

quint64 readHex(const QList<uint>& text, qsizetype begin, qsizetype end)
{
    qsizetype at = begin;
    if (end - at >= 2 && text[at] == U'0' && (text[at + 1] == U'x' || text[at + 1] == U'X'))
        at += 2;
    quint64 value = 0;
    bool overflow = false;
    for (; at < end; ++at) {
        const int digit = hexValue(text[at]);
        if (digit < 0)
            break;
        if (value > (std::numeric_limits<quint64>::max() >> 4))
            overflow = true;
        value = (value << 4) | quint64(digit);
    }
    return overflow ? std::numeric_limits<quint64>::max() : value;
}

} // namespace

// The running product's colours from the first frame (the start-up spinner draws before the deck names a
// brand); the deck's brand replaces them once it is known.
CommandPalette::CommandPalette(QObject* parent)
    : QObject(parent), m_primaryHex(ProductBrand::presentation(ProductBrand::current()).primaryColor),
      m_secondaryHex(ProductBrand::presentation(ProductBrand::current()).secondaryColor)
{}

QColor CommandPalette::voidColor()
{
    static const QColor color = QColor::fromRgbF(0.025f, 0.028f, 0.035f);
    return color;
}

QColor CommandPalette::obsidian()
{
    static const QColor color = QColor::fromRgbF(0.055f, 0.06f, 0.075f);
    return color;
}

QColor CommandPalette::panel()
{
    static const QColor color = QColor::fromRgbF(0.085f, 0.09f, 0.11f);
    return color;
}

QColor CommandPalette::raised()
{
    static const QColor color = QColor::fromRgbF(0.12f, 0.125f, 0.15f);
    return color;
}

QColor CommandPalette::green()
{
    static const QColor color = QColor::fromRgbF(0.31f, 0.86f, 0.48f);
    return color;
}

QColor CommandPalette::red()
{
    // The desktop's usual red for live channels, destructive actions and failures.
    static const QColor color = QColor::fromRgb(255, 69, 58);
    return color;
}

QColor CommandPalette::colorFromHex(const QString& text)
{
    // Code points, so that a letter outside the basic plane counts as one alphanumeric character.
    const QList<uint> ucs4 = text.toUcs4();
    qsizetype begin = 0;
    qsizetype end = ucs4.size();
    while (begin < end && !isAlphanumeric(ucs4[begin]))
        ++begin;
    while (end > begin && !isAlphanumeric(ucs4[end - 1]))
        --end;
    const quint64 value = readHex(ucs4, begin, end);
    return QColor(int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff));
}

void CommandPalette::setBrandColors(const QString& primaryHex, const QString& secondaryHex)
{
    if (primaryHex == m_primaryHex && secondaryHex == m_secondaryHex)
        return;
    m_primaryHex = primaryHex;
    m_secondaryHex = secondaryHex;
    emit brandColorsChanged();
}

} // namespace sendra::ui
