#include "Domain/ShownText.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace sendra {

namespace {

constexpr char16_t zeroWidthJoiner = 0x200D;
// Longer than any joined emoji sequence a font draws as one picture (15 units with two skin tones).
constexpr qsizetype longestJoinedRun = 32;

bool mayHoldLongCluster(QStringView text)
{
    return text.size() > longestJoinedRun && text.contains(QChar(zeroWidthJoiner));
}

// A run of joined emoji is one character to the layout: thousands of them can neither wrap nor end in "…".
// Such a run is broken at a joiner every `longestJoinedRun` units; what fonts draw as one picture is shorter.
QString withShortClusters(QStringView text)
{
    QString out;
    out.reserve(text.size());
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype start = 0;
    for (qsizetype end = clusters.toNextBoundary(); end != -1; start = end, end = clusters.toNextBoundary()) {
        if (end - start <= longestJoinedRun) {
            out += text.sliced(start, end - start);
            continue;
        }
        qsizetype piece = start;
        for (qsizetype at = start; at < end; ++at) {
            if (text[at] == zeroWidthJoiner && at - piece >= longestJoinedRun)
                piece = at + 1;
            else
                out += text[at];
        }
    }
    return out;
}

// Where to cut inside a cluster longer than any font draws as one (thousands of joined emoji or marks) that starts
// at `start` and runs past the limit: before a joiner, so the prefix ends on a whole emoji; else after anything but
// a joiner; never inside a surrogate pair.
qsizetype cutInsideCluster(const QString& text, qsizetype start, qsizetype limit)
{
    const auto splitsPair = [&text](qsizetype at) {
        return text.at(at).isLowSurrogate() && text.at(at - 1).isHighSurrogate();
    };
    qsizetype afterOther = 0;
    for (qsizetype at = limit; at > start; --at) {
        if (splitsPair(at))
            continue;
        if (text.at(at) == zeroWidthJoiner && text.at(at - 1) != zeroWidthJoiner)
            return at;
        if (afterOther == 0 && text.at(at - 1) != zeroWidthJoiner)
            afterOther = at;
    }
    if (afterOther > 0)
        return afterOther;
    if (start > 0)
        return start;
    return splitsPair(limit) ? limit - 1 : limit;
}

} // namespace

QString shownText(const QString& text, qsizetype limit)
{
    if (text.size() <= limit)
        return mayHoldLongCluster(text) ? withShortClusters(text) : text;
    // Whether the limit is a boundary depends on what precedes it and on the one character after it (two units);
    // nothing further is read.
    const qsizetype window = std::min(text.size(), limit + 2);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text.constData(), window);
    graphemes.setPosition(limit);
    qsizetype cut = graphemes.isAtBoundary() ? limit : graphemes.toPreviousBoundary();
    if (cut <= 0 || text.at(cut - 1) == zeroWidthJoiner)
        cut = cutInsideCluster(text, 0, limit);
    else if (limit - cut > longestJoinedRun) // a word before a long cluster keeps the cluster's share of the limit
        cut = cutInsideCluster(text, cut, limit);
    const QStringView kept = QStringView(text).first(cut);
    return (mayHoldLongCluster(kept) ? withShortClusters(kept) : kept.toString()) + QChar(0x2026);
}

} // namespace sendra
