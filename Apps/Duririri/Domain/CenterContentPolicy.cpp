#include "Domain/CenterContentPolicy.h"

#include <QStringView>

namespace sendra {

namespace {

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Drops the non-spacing marks of a decomposed text: what is left is the letters without their accents.
QString withoutMarks(const QString& decomposed)
{
    QString out;
    out.reserve(decomposed.size());
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        char32_t codePoint = decomposed.at(i).unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(codePoint) && i + 1 < decomposed.size()
            && decomposed.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(decomposed.at(i), decomposed.at(i + 1));
            units = 2;
        }
        if (QChar::category(codePoint) != QChar::Mark_NonSpacing)
            out.append(decomposed.constData() + i, units);
        i += units - 1;
    }
    return out;
}

} // namespace

CenterContentPolicy::CenterContentPolicy(const QSet<QString>& blockedGroups)
{
    for (const QString& text : blockedGroups) {
        // A blank text would otherwise block every entry without a category.
        const QString normalized = normalize(text);
        if (!normalized.isEmpty())
            m_blockedGroups.insert(normalized);
    }
}

QString CenterContentPolicy::normalize(const QString& text)
{
    // Most catalogue texts are ASCII, where folding is lower-casing.
    if (isAscii(text))
        return text.toLower().trimmed();
    const QString folded = withoutMarks(text.normalized(QString::NormalizationForm_D)).toCaseFolded().toLower();
    return folded.normalized(QString::NormalizationForm_C).trimmed();
}

const QStringList& CenterContentPolicy::adultKeywords()
{
    static const QStringList keywords{
        QStringLiteral("adult"),   QStringLiteral("adultos"), QStringLiteral("xxx"),
        QStringLiteral("porn"),    QStringLiteral("porno"),   QStringLiteral("erot"),
        QStringLiteral("sexual"),  QStringLiteral("onlyfans"), QStringLiteral("+18"),
        QStringLiteral("18+"),
    };
    return keywords;
}

bool CenterContentPolicy::containsAdultKeyword(const QString& text)
{
    const QString normalized = normalize(text);
    for (const QString& keyword : adultKeywords()) {
        if (normalized.contains(keyword))
            return true;
    }
    return false;
}

bool CenterContentPolicy::isBlocked(const QString& text) const
{
    return !m_blockedGroups.isEmpty() && m_blockedGroups.contains(normalize(text));
}

bool CenterContentPolicy::allowsCategory(const QString& id, const QString& name) const
{
    return !isBlocked(id) && !isBlocked(name) && !containsAdultKeyword(name);
}

bool CenterContentPolicy::allows(const MediaNode& node) const
{
    return allowsCategory(node.groupID, node.groupName) && !containsAdultKeyword(node.title);
}

QList<MediaNode> CenterContentPolicy::recommendations(const QList<MediaNode>& nodes) const
{
    QList<MediaNode> allowed;
    allowed.reserve(nodes.size());
    for (const MediaNode& node : nodes) {
        if (allows(node))
            allowed.append(node);
    }
    return allowed;
}

CommandFeed CenterContentPolicy::recommendations(const CommandFeed& feed) const
{
    CommandFeed result;
    result.revision = feed.revision;
    for (const CommandLane& lane : feed.lanes) {
        if (isBlocked(lane.id) || isBlocked(lane.title) || containsAdultKeyword(lane.title))
            continue;
        CommandLane kept{lane.id, lane.title, lane.subtitle, recommendations(lane.nodes), lane.titleIsText,
                         lane.subtitleIsText};
        if (!kept.nodes.isEmpty())
            result.lanes.append(std::move(kept));
    }
    if (feed.spotlight && allows(*feed.spotlight))
        result.spotlight = feed.spotlight;
    else if (!result.lanes.isEmpty())
        result.spotlight = result.lanes.first().nodes.first();
    return result;
}

} // namespace sendra
