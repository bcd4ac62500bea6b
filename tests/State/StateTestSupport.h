#pragma once

// Entries, readable descriptions and a seeded random catalogue for the catalogue and deck tests.
#include "Domain/CatalogTypes.h"
#include "State/NodeView.h"

#include <QList>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace statetest {

using namespace sendra;

inline MediaNode entry(SignalKind kind, const QString& id, const QString& title, const QString& groupID,
                       const QString& groupName, bool artwork = false)
{
    MediaNode n;
    n.kind = kind;
    n.id = id;
    n.title = title;
    n.groupID = groupID;
    n.groupName = groupName;
    if (artwork)
        n.artwork = QUrl(QStringLiteral("http://img.example/") + id + QStringLiteral(".jpg"));
    n.fileSuffix = QStringLiteral("mkv");
    return n;
}

// "movies:7 Title" per entry: enough to tell entries apart in a failure message.
inline std::string describe(const MediaNode& n)
{
    return (n.catalogKey() + u' ' + n.title + QStringLiteral(" [") + n.groupName + u']').toStdString();
}

template <class Nodes>
std::vector<std::string> describeAll(const Nodes& nodes)
{
    std::vector<std::string> out;
    for (const MediaNode& n : nodes)
        out.push_back(describe(n));
    return out;
}

template <class Groups>
std::vector<std::string> describeGroups(const Groups& groups)
{
    std::vector<std::string> out;
    for (const MediaGroup& g : groups)
        out.push_back((g.id + u' ' + g.name).toStdString());
    return out;
}

inline std::vector<std::string> describeFeed(const CommandFeed& feed)
{
    std::vector<std::string> out{"revision " + std::to_string(feed.revision),
                                 "spotlight " + (feed.spotlight ? describe(*feed.spotlight) : std::string("none"))};
    for (const CommandLane& lane : feed.lanes) {
        out.push_back((QStringLiteral("lane ") + lane.id + QStringLiteral(" | ") + lane.title + QStringLiteral(" | ") + lane.subtitle).toStdString());
        for (const MediaNode& n : lane.nodes)
            out.push_back("  " + describe(n));
    }
    return out;
}

// Empty when both lists are equal, else where they first differ: long lists stay readable in a failure.
inline std::string firstDifference(const std::vector<std::string>& actual, const std::vector<std::string>& expected)
{
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        const std::string a = i < actual.size() ? actual[i] : "(end)";
        const std::string e = i < expected.size() ? expected[i] : "(end)";
        if (a != e) {
            return "at " + std::to_string(i) + " of " + std::to_string(actual.size()) + "/" +
                   std::to_string(expected.size()) + ": got " + a + ", expected " + e;
        }
    }
    return {};
}
#define EXPECT_SAME(actual, expected) EXPECT_EQ(statetest::firstDifference(actual, expected), std::string())

inline QStringList titles(const QList<MediaNode>& nodes)
{
    QStringList out;
    for (const MediaNode& n : nodes)
        out.append(n.title);
    return out;
}

inline QStringList titles(const NodeView& nodes)
{
    return titles(nodes.toList());
}

inline QStringList names(std::span<const MediaGroup> groups)
{
    QStringList out;
    for (const MediaGroup& g : groups)
        out.append(g.name);
    return out;
}

// A catalogue full of what makes catalogues hard: ids listed twice (in one kind and across kinds), empty group
// ids, names equal but for case or accents or composition, numbers, adult keywords, "generic" entries, blanks.
QList<MediaNode> randomCatalog(uint64_t seed, int entries);

} // namespace statetest
