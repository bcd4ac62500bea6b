#include "Domain/CenterContentPolicy.h"

#include <QList>
#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

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

// Hangul syllables decompose and compose by arithmetic rather than through a table.
constexpr char32_t hangulS = 0xAC00, hangulL = 0x1100, hangulV = 0x1161, hangulT = 0x11A7;
constexpr char32_t hangulLCount = 19, hangulVCount = 21, hangulTCount = 28;
constexpr char32_t hangulNCount = hangulVCount * hangulTCount, hangulSCount = hangulLCount * hangulNCount;

// Qt's canonical decompositions and compositions, gathered once from its own tables. QString::normalized() rebuilds
// the string for every character it decomposes or composes, which made folding quadratic in a text's accented
// letters; folding with these tables takes linear time and gives the same text, since the data is the same.
class CanonicalTables
{
public:
    CanonicalTables()
    {
        for (char32_t c = 0x80; c <= QChar::LastValidCodePoint; ++c) {
            if ((c >= hangulS && c < hangulS + hangulSCount) || QChar::decompositionTag(c) != QChar::Canonical)
                continue;
            const auto start = uint32_t(m_pool.size());
            appendFull(c);
            m_decompositions.emplace(c, Span{start, uint32_t(m_pool.size()) - start});

            // A pair that NFC leaves composed is one the composition step may form again.
            const QList<uint> pair = QChar::decomposition(c).toUcs4();
            const QString alone = QStringView(QChar::fromUcs4(c)).toString();
            if (pair.size() == 2 && alone.normalized(QString::NormalizationForm_C) == alone) {
                m_compositions.emplace(key(pair[0], pair[1]), c);
                m_firstSecond = std::min(m_firstSecond, char32_t(pair[1]));
            }
        }
    }

    // No character below this one ends a composition: text below it needs no look-up.
    char32_t firstSecond() const { return m_firstSecond; }

    // Appends the full canonical decomposition of `c`, or `c` itself when it has none.
    void decompose(char32_t c, std::vector<char32_t>& out) const
    {
        if (c >= hangulS && c < hangulS + hangulSCount) {
            const char32_t index = c - hangulS;
            out.push_back(hangulL + index / hangulNCount);
            out.push_back(hangulV + index % hangulNCount / hangulTCount);
            if (index % hangulTCount != 0)
                out.push_back(hangulT + index % hangulTCount);
            return;
        }
        const auto found = c < 0x80 ? m_decompositions.end() : m_decompositions.find(c);
        if (found == m_decompositions.end()) {
            out.push_back(c);
            return;
        }
        out.insert(out.end(), m_pool.begin() + found->second.start,
                   m_pool.begin() + found->second.start + found->second.size);
    }

    // The primary composite of two characters, or 0.
    char32_t compose(char32_t first, char32_t second) const
    {
        if (first >= hangulL && first < hangulL + hangulLCount && second >= hangulV && second < hangulV + hangulVCount)
            return hangulS + ((first - hangulL) * hangulVCount + second - hangulV) * hangulTCount;
        if (first >= hangulS && first < hangulS + hangulSCount && (first - hangulS) % hangulTCount == 0 &&
            second > hangulT && second < hangulT + hangulTCount)
            return first + (second - hangulT);
        const auto found = m_compositions.find(key(first, second));
        return found == m_compositions.end() ? 0 : found->second;
    }

private:
    void appendFull(char32_t c)
    {
        if (QChar::decompositionTag(c) != QChar::Canonical) {
            m_pool.push_back(c);
            return;
        }
        for (const uint part : QChar::decomposition(c).toUcs4())
            appendFull(part);
    }
    static uint64_t key(char32_t first, char32_t second) { return uint64_t(first) << 32 | second; }

    struct Span {
        uint32_t start;
        uint32_t size;
    };
    std::vector<char32_t> m_pool;
    std::unordered_map<char32_t, Span> m_decompositions;
    std::unordered_map<uint64_t, char32_t> m_compositions;
    char32_t m_firstSecond = hangulV;
};

const CanonicalTables& canonicalTables()
{
    static const CanonicalTables tables;
    return tables;
}

QString fromCodePoints(const std::vector<char32_t>& text)
{
    QString out;
    out.reserve(qsizetype(text.size()));
    for (const char32_t c : text)
        out.append(QStringView(QChar::fromUcs4(c)));
    return out;
}

// Sorts each run of combining characters by class, stably: canonical order, in n log n even for a text of nothing but
// marks. Each character is sorted with its class above its 21 bits, so that comparing looks nothing up.
void orderCanonically(std::vector<char32_t>& text)
{
    const auto byClass = [](char32_t a, char32_t b) { return QChar::combiningClass(a) < QChar::combiningClass(b); };
    std::vector<uint32_t> run;
    for (auto it = text.begin(); it != text.end();) {
        if (QChar::combiningClass(*it) == 0) {
            ++it;
            continue;
        }
        const auto runEnd = std::find_if(it, text.end(), [](char32_t c) { return QChar::combiningClass(c) == 0; });
        if (!std::is_sorted(it, runEnd, byClass)) {
            run.clear();
            for (auto c = it; c != runEnd; ++c)
                run.push_back(uint32_t(QChar::combiningClass(*c)) << 21 | uint32_t(*c));
            std::stable_sort(run.begin(), run.end(), [](uint32_t a, uint32_t b) { return a >> 21 < b >> 21; });
            std::transform(run.begin(), run.end(), it, [](uint32_t c) { return char32_t(c & 0x1FFFFF); });
        }
        it = runEnd;
    }
}

// Drops the non-spacing marks: what is left is the letters without their accents. A lone high surrogate that ends up
// before a lone low one pairs with it, as it does in a QString. Returns whether the text may have left canonical
// order: a dropped mark of class 0 (or a new pair) that parted two runs of combining characters joins them.
bool dropMarks(std::vector<char32_t>& text)
{
    bool joined = false;
    size_t write = 0;
    for (const char32_t c : text) {
        if (QChar::category(c) == QChar::Mark_NonSpacing) {
            joined = joined || QChar::combiningClass(c) == 0;
            continue;
        }
        if (QChar::isLowSurrogate(c) && write > 0 && QChar::isHighSurrogate(text[write - 1])) {
            text[write - 1] = QChar::surrogateToUcs4(char16_t(text[write - 1]), char16_t(c));
            joined = true;
        } else {
            text[write++] = c;
        }
    }
    text.resize(write);
    return joined;
}

// Case mapping as QString does it: character by character (its case folding is the simple one, and lower-casing a
// folded text lengthens only İ, which NFD has already split), and re-reading the text from the first character that
// changes, which turns each lone surrogate it re-reads into U+FFFD (high surrogates ending the text are left out).
template <typename Map>
void mapCase(std::vector<char32_t>& text, Map map)
{
    size_t end = text.size();
    while (end > 0 && QChar::isHighSurrogate(text[end - 1]))
        --end;
    size_t i = 0;
    while (i < end && (QChar::isSurrogate(text[i]) || map(text[i]) == text[i]))
        ++i;
    for (; i < end; ++i)
        text[i] = QChar::isSurrogate(text[i]) ? char32_t(QChar::ReplacementCharacter) : map(text[i]);
}

// The full canonical decomposition, canonically ordered (NFD).
std::vector<char32_t> decomposed(QStringView text)
{
    const CanonicalTables& tables = canonicalTables();
    std::vector<char32_t> out;
    out.reserve(size_t(text.size()));
    // A lone surrogate stands for itself, as QString::normalized() leaves it.
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        tables.decompose(c, out);
    }
    orderCanonically(out);
    return out;
}

// Canonical composition in place: with decomposed(), NFC.
void compose(std::vector<char32_t>& text)
{
    if (text.size() < 2)
        return;
    const CanonicalTables& tables = canonicalTables();
    size_t starter = 0;
    int lastClass = QChar::combiningClass(text[0]) == 0 ? 0 : 256;
    size_t write = 1;
    for (size_t read = 1; read < text.size(); ++read) {
        const char32_t c = text[read];
        const int cClass = QChar::combiningClass(c);
        if (c >= tables.firstSecond() && (lastClass < cClass || lastClass == 0)) {
            if (const char32_t composite = tables.compose(text[starter], c)) {
                text[starter] = composite;
                continue;
            }
        }
        if (cClass == 0)
            starter = write;
        lastClass = cClass;
        text[write++] = c;
    }
    text.resize(write);
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
    // NFD, the non-spacing marks (the accents) dropped, case folded and lower-cased, then NFC.
    std::vector<char32_t> folded = decomposed(text);
    if (dropMarks(folded))
        orderCanonically(folded);
    mapCase(folded, [](char32_t c) { return QChar::toCaseFolded(c); });
    mapCase(folded, [](char32_t c) { return QChar::toLower(c); });
    // Still canonically decomposed and ordered: no character changes case into one that decomposes or combines
    // differently.
    compose(folded);
    return fromCodePoints(folded).trimmed();
}

const QStringList& CenterContentPolicy::adultKeywords()
{
    static const QStringList keywords{
        QStringLiteral("adult"), QStringLiteral("adultos"), QStringLiteral("xxx"),    QStringLiteral("porn"),
        QStringLiteral("porno"), QStringLiteral("erot"),    QStringLiteral("sexual"), QStringLiteral("onlyfans"),
        QStringLiteral("+18"),   QStringLiteral("18+"),
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
        CommandLane kept{lane.id,          lane.title,         lane.subtitle, recommendations(lane.nodes),
                         lane.titleIsText, lane.subtitleIsText};
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
