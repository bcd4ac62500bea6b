#include "UI/GroupListModel.h"

#include "UI/NodeValues.h"
#include "State/CommandDeck.h"

#include <algorithm>

namespace sendra::ui {

GroupListModel::GroupListModel(QObject* parent) : DeckListModel(parent)
{}

void GroupListModel::watchDeck()
{
    watch(&CommandDeck::groupsChanged);
    watch(&CommandDeck::featuredGroupsChanged);
    watch(&CommandDeck::chosenKindChanged);
}

void GroupListModel::setSource(Source source)
{
    if (m_source == source)
        return;
    m_source = source;
    reselect();
}

void GroupListModel::reload()
{
    QList<MediaGroup> groups;
    if (CommandDeck* deck = this->deck()) {
        switch (m_source) {
        case Groups:
            groups = deck->groups();
            break;
        case BrowsableGroups:
            groups = deck->browsableGroups();
            break;
        case Featured:
            groups = deck->featuredGroups();
            break;
        }
    }
    const int total = int(groups.size());
    if (limit() >= 0 && groups.size() > limit())
        groups = groups.first(limit());
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
        return shownText(group->name);
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
