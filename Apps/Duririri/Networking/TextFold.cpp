#include "Networking/TextFold.h"

#include "Domain/CenterContentPolicy.h"

namespace sendra {

QString groupSlug(const QString& name)
{
    const QString folded = CenterContentPolicy::normalize(name);
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
            out = CenterContentPolicy::normalize(QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))).toStdString();
            return;
        }
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
}

} // namespace sendra
