#include "UI/GroupListModel.h"

#include "UI/AppContext.h"
#include "UI/NodeValues.h"
#include "State/CommandDeck.h"

#include <QQmlEngine>

#include <algorithm>

namespace sendra::ui {

GroupListModel::GroupListModel(QObject* parent) : QAbstractListModel(parent) {}

void GroupListModel::componentComplete()
{
    if (AppContext* context = AppContext::of(qmlEngine(this))) {
        connect(context, &AppContext::deckChanged, this, [this, context] { setDeck(context->deck()); });
        setDeck(context->deck());
    }
}

void GroupListModel::setDeck(CommandDeck* deck)
{
    if (m_deck == deck)
        return;
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_deck = deck;
    if (m_deck) {
        m_connections.append(connect(m_deck, &CommandDeck::groupsChanged, this, &GroupListModel::reload));
        m_connections.append(connect(m_deck, &CommandDeck::featuredGroupsChanged, this, &GroupListModel::reload));
        m_connections.append(connect(m_deck, &CommandDeck::chosenKindChanged, this, &GroupListModel::reload));
    }
    reload();
}

void GroupListModel::setSource(Source source)
{
    if (m_source == source)
        return;
    m_source = source;
    emit sourceChanged();
    reload();
}

void GroupListModel::setLimit(int limit)
{
    if (m_limit == limit)
        return;
    m_limit = limit;
    emit sourceChanged();
    reload();
}

void GroupListModel::reload()
{
    QList<MediaGroup> groups;
    if (m_deck) {
        switch (m_source) {
        case Groups:
            groups = m_deck->groups();
            break;
        case BrowsableGroups:
            groups = m_deck->browsableGroups();
            break;
        case Featured:
            groups = m_deck->featuredGroups();
            break;
        }
    }
    const int total = int(groups.size());
    if (m_limit >= 0 && groups.size() > m_limit)
        groups = groups.first(m_limit);
    if (groups == m_groups && total == m_total)
        return;
    // A longer or shorter limit over the same list adds or drops rows at the end: the views keep their delegates
    // and their scroll position (the library pages its category rows in this way).
    const qsizetype common = std::min(groups.size(), m_groups.size());
    const bool samePrefix = std::equal(groups.cbegin(), groups.cbegin() + common, m_groups.cbegin());
    if (samePrefix && total == m_total && groups.size() > m_groups.size()) {
        beginInsertRows({}, int(m_groups.size()), int(groups.size()) - 1);
        m_groups = std::move(groups);
        endInsertRows();
    } else if (samePrefix && total == m_total && groups.size() < m_groups.size()) {
        beginRemoveRows({}, int(groups.size()), int(m_groups.size()) - 1);
        m_groups = std::move(groups);
        endRemoveRows();
    } else {
        beginResetModel();
        m_groups = std::move(groups);
        m_total = total;
        endResetModel();
    }
    emit countChanged();
}

int GroupListModel::indexOf(const QString& groupId) const
{
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        if (m_groups[i].id == groupId)
            return int(i);
    }
    return -1;
}

int GroupListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_groups.size());
}

const MediaGroup* GroupListModel::groupAt(int row) const
{
    return row >= 0 && row < m_groups.size() ? &m_groups[row] : nullptr;
}

QVariant GroupListModel::data(const QModelIndex& index, int role) const
{
    const MediaGroup* group = groupAt(index.row());
    if (!group)
        return {};
    switch (role) {
    case IdRole:
        return group->id;
    case NameRole:
    case Qt::DisplayRole:
        return group->name;
    case KindRole:
        return storedValue(group->kind);
    }
    return {};
}

QHash<int, QByteArray> GroupListModel::roleNames() const
{
    return {{IdRole, "groupId"}, {NameRole, "name"}, {KindRole, "kind"}};
}

QVariantMap GroupListModel::get(int row) const
{
    const MediaGroup* group = groupAt(row);
    return group ? groupValue(*group) : QVariantMap();
}

} // namespace sendra::ui
