#pragma once

#include "Domain/CatalogTypes.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace sendra {

// What the home screen (the centre) may show: nothing of a category the connected server keeps off it, and
// nothing whose category name or title contains an adult keyword.
class CenterContentPolicy {
public:
    CenterContentPolicy() = default;
    // The server's blocked category ids and names, in any spelling; blank texts name no category.
    explicit CenterContentPolicy(const QSet<QString>& blockedGroups);

    // The comparison form of a text: case and accents folded, lower-cased, trimmed.
    static QString normalize(const QString& text);
    // Matched as plain substrings of the normalised text, in this order.
    static const QStringList& adultKeywords();
    static bool containsAdultKeyword(const QString& text);

    const QSet<QString>& blockedGroups() const { return m_blockedGroups; }

    bool allowsCategory(const QString& id, const QString& name) const;
    bool allows(const MediaNode& node) const;
    // The allowed entries, in the order given.
    QList<MediaNode> recommendations(const QList<MediaNode>& nodes) const;
    // The feed without disallowed lanes and entries; a disallowed or missing spotlight becomes the first
    // entry of the first lane kept (none when no lane is kept).
    CommandFeed recommendations(const CommandFeed& feed) const;

private:
    bool isBlocked(const QString& text) const;

    QSet<QString> m_blockedGroups; // normalised
};

} // namespace sendra
