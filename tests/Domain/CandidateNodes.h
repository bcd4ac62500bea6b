#pragma once

// Entries for the home-policy and spotlight tests: only the fields those look at.
#include "Domain/CatalogTypes.h"

#include <QStringList>

#include <functional>

inline sendra::MediaNode candidateNode(sendra::SignalKind kind, const QString& id, const QString& title,
                                       const QString& groupID, const QString& groupName)
{
    sendra::MediaNode n;
    n.id = id;
    n.title = title;
    n.groupID = groupID;
    n.groupName = groupName;
    n.kind = kind;
    return n;
}

inline QStringList mapNodes(const QList<sendra::MediaNode>& nodes,
                            const std::function<QString(const sendra::MediaNode&)>& field)
{
    QStringList result;
    for (const sendra::MediaNode& n : nodes)
        result.append(field(n));
    return result;
}
