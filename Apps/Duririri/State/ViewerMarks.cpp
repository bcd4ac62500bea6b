#include "State/ViewerMarks.h"

#include "Domain/CenterContentPolicy.h"
#include "Domain/ShownText.h"

namespace sendra {

namespace {

bool fits(const QString& text)
{
    return text.size() <= keptIdentityLimit;
}

bool fits(const std::optional<AddressText>& address)
{
    return !address || address->encoded().size() <= keptIdentityLimit;
}

// A text already cut (or short enough) is kept as it is, so that keeping a kept marker again changes nothing.
bool isLong(const QString& text, qsizetype limit)
{
    return text.size() > limit + 1;
}

} // namespace

bool isKeptKey(const QString& key)
{
    return fits(key);
}

bool holdsAdultText(const MediaNode& node)
{
    return CenterContentPolicy::containsAdultKeyword(node.title) ||
           CenterContentPolicy::containsAdultKeyword(node.groupName);
}

std::optional<ResumeMarker> keptMarker(const ResumeMarker& marker,
                                       const std::function<bool(const MediaNode&)>& adultTexts)
{
    const MediaNode& node = marker.node;
    if (!fits(marker.id) || !fits(node.id) || !fits(node.fileSuffix) || !fits(node.directURL) ||
        !fits(node.contentClassification.value_or(QString())))
        return std::nullopt;
    ResumeMarker kept = marker;
    const bool cut = isLong(node.title, shownNameLimit) || isLong(node.groupName, shownNameLimit);
    if (cut && adultTexts(node))
        return std::nullopt;
    for (QString* text : {&kept.node.title, &kept.node.groupName}) {
        if (isLong(*text, shownNameLimit))
            *text = shownText(*text);
    }
    if (isLong(node.groupID, keptIdentityLimit))
        kept.node.groupID = shownText(node.groupID, keptIdentityLimit);
    if (!fits(node.artwork))
        kept.node.artwork.reset();
    return kept;
}

QList<ResumeMarker> keptMarkers(const QList<ResumeMarker>& markers, bool& changed)
{
    QList<ResumeMarker> kept;
    kept.reserve(markers.size());
    changed = false;
    for (const ResumeMarker& marker : markers) {
        std::optional<ResumeMarker> one = keptMarker(marker);
        changed = changed || !one || one->node != marker.node;
        if (one)
            kept.append(std::move(*one));
    }
    return kept;
}

QStringList keptKeys(const QStringList& keys, bool& changed)
{
    QStringList kept = keys;
    changed = kept.removeIf([](const QString& key) { return !isKeptKey(key); }) > 0;
    return kept;
}

} // namespace sendra
