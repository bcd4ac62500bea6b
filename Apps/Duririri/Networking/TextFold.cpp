#include "Networking/TextFold.h"

#include <algorithm>

namespace sendra {

namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

QString foldedLower(QStringView text)
{
    if (isAscii(text))
        return text.toString().toLower();
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const auto category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing)
            out.append(c);
    }
    // Recompose what is left (Hangul, letters whose marks were not diacritics) before lower-casing.
    return out.normalized(QString::NormalizationForm_C).toLower();
}

QString groupSlug(QStringView name)
{
    const QString folded = foldedLower(name);
    QString slug;
    slug.reserve(folded.size());
    bool pendingDash = false;
    for (const QChar c : folded) {
        const char16_t u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')) {
            if (pendingDash && !slug.isEmpty())
                slug.append(u'-');
            pendingDash = false;
            slug.append(c);
        } else {
            pendingDash = true;
        }
    }
    return slug;
}

void foldedLowerUtf8(std::string_view utf8, std::string& out)
{
    out.assign(utf8);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            out = foldedLower(QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))).toStdString();
            return;
        }
        c = asciiLower(c);
    }
}

} // namespace sendra
