#include "UI/NodeListModel.h"

#include "UI/NodeValues.h"
#include "State/CommandDeck.h"

namespace sendra::ui {

NodeListModel::NodeListModel(QObject* parent) : DeckListModel(parent)
{}

void NodeListModel::watchDeck()
{
    switch (m_source) {
    case Library:
        watch(&CommandDeck::libraryNodesChanged);
        break;
    case Search:
        watch(&CommandDeck::searchResultsChanged);
        break;
    case CenterFavorites:
    case Favorites:
        watch(&CommandDeck::favoriteNodesChanged);
        break;
    case Group:
    case Kind:
        watch(&CommandDeck::nodesByKindChanged);
        watch(&CommandDeck::nodesByGroupChanged);
        break;
    case Spotlight:
        watch(&CommandDeck::spotlightNodesChanged);
        break;
    case Lane:
        watch(&CommandDeck::feedChanged);
        break;
    case None:
        break;
    }
    watch(&CommandDeck::favoritesChanged, [this] { favoritesChanged(); });
}

void NodeListModel::setSource(Source source)
{
    if (m_source == source)
        return;
    m_source = source;
    rewatch();
    reselect();
}

void NodeListModel::setGroupId(const QString& id)
{
    if (m_groupId == id)
        return;
    m_groupId = id;
    reselect();
}

void NodeListModel::setKind(const QString& kind)
{
    if (m_kind == kind)
        return;
    m_kind = kind;
    reselect();
}

void NodeListModel::setLaneIndex(int index)
{
    if (m_laneIndex == index)
        return;
    m_laneIndex = index;
    reselect();
}

namespace {

bool sameView(const NodeView& a, const NodeView& b)
{
    if (a.snapshot() != b.snapshot() || a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.position(i) != b.position(i))
            return false;
    }
    return true;
}

} // namespace

void NodeListModel::reload()
{
    NodeView view;
    QList<MediaNode> list;
    bool usesList = false;
    if (CommandDeck* deck = this->deck()) {
        switch (m_source) {
        case Library:
            view = deck->libraryNodes();
            break;
        case Search:
            view = deck->searchResults();
            break;
        case CenterFavorites:
            view = deck->centerFavoriteNodes();
            break;
        case Favorites:
            view = deck->favoriteNodes();
            break;
        case Group:
            view = m_groupId.isEmpty() ? NodeView() : deck->nodesByGroup(m_groupId);
            break;
        case Kind:
            if (const auto kind = signalKindFromStored(m_kind))
                view = deck->nodesByKind().value(*kind);
            break;
        case Spotlight:
            list = deck->spotlightNodes();
            usesList = true;
            break;
        case Lane:
            if (deck->feed() && m_laneIndex >= 0 && m_laneIndex < deck->feed()->lanes.size())
                list = deck->feed()->lanes[m_laneIndex].nodes;
            usesList = true;
            break;
        case None:
            break;
        }
    }
    const int total = int(usesList ? list.size() : view.size());
    m_allView = usesList ? NodeView() : view;
    m_allList = usesList ? list : QList<MediaNode>();
    if (limit() >= 0) {
        if (usesList)
            list = list.first(std::min<qsizetype>(list.size(), limit()));
        else
            view = view.first(limit());
    }
    // The deck notifies on equal assignments and raises several signals for one change: reset only on a real one.
    const bool same = usesList == m_usesList && (usesList ? list == m_list : sameView(view, m_view));
    if (same && total == m_total)
        return;
    const int before = rowCount();
    const int after = int(usesList ? list.size() : view.size());
    // Search results change on every keystroke: their rows change in place, so the grid keeps its tiles and only
    // refills them; a reset would destroy every tile and build it again in the keystroke's frame.
    if (!same && m_source == Search && !usesList && !m_usesList) {
        // Each step leaves the rows it does not name as they were: the surplus rows go first, the common rows
        // change, then the new rows come.
        m_total = total;
        if (after < before) {
            beginRemoveRows({}, after, before - 1);
            m_view = m_view.first(after);
            endRemoveRows();
        }
        m_view = view.first(std::min(before, after));
        if (std::min(before, after) > 0)
            emit dataChanged(index(0), index(std::min(before, after) - 1));
        if (after > before) {
            beginInsertRows({}, before, after - 1);
            m_view = view;
            endInsertRows();
        }
        m_view = view;
        emit rowsReplaced();
        emit countChanged();
        return;
    }
    beginResetModel();
    m_view = usesList ? NodeView() : view;
    m_list = usesList ? list : QList<MediaNode>();
    m_usesList = usesList;
    m_total = total;
    endResetModel();
    if (before != rowCount() || !same)
        emit countChanged();
}

void NodeListModel::favoritesChanged()
{
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {IsFavoriteRole});
}

int NodeListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return int(m_usesList ? m_list.size() : m_view.size());
}

std::optional<MediaNode> NodeListModel::nodeAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return std::nullopt;
    return m_usesList ? m_list[row] : m_view[row];
}

QVariant NodeListModel::data(const QModelIndex& index, int role) const
{
    const std::optional<MediaNode> node = nodeAt(index.row());
    if (!node || index.parent().isValid())
        return {};
    switch (role) {
    case KeyRole:
        return node->catalogKey();
    case IdRole:
        return node->id;
    case TitleRole:
    case Qt::DisplayRole:
        return shownText(node->title);
    case ArtworkRole:
        return artworkText(node->artwork);
    case KindRole:
        return storedValue(node->kind);
    case GenericRole:
        return node->contentClassification == u"generic";
    case GroupNameRole:
        return shownText(node->groupName);
    case GroupIdRole:
        return node->groupID;
    case IsFavoriteRole:
        return deck() && deck()->favorites().contains(node->catalogKey());
    }
    return {};
}

QHash<int, QByteArray> NodeListModel::roleNames() const
{
    return {{KeyRole, "key"},
            {IdRole, "nodeId"},
            {TitleRole, "title"},
            {ArtworkRole, "artwork"},
            {KindRole, "kind"},
            {GenericRole, "generic"},
            {GroupNameRole, "groupName"},
            {GroupIdRole, "groupID"},
            {IsFavoriteRole, "isFavorite"}};
}

QVariantMap NodeListModel::get(int row) const
{
    const std::optional<MediaNode> node = nodeAt(row);
    return node ? nodeValue(*node, deck() ? deck()->favorites() : QSet<QString>()) : QVariantMap();
}

void NodeListModel::open(int row)
{
    if (const std::optional<MediaNode> node = nodeAt(row); node && deck())
        deck()->open(*node);
}

void NodeListModel::play(int row)
{
    if (const std::optional<MediaNode> node = nodeAt(row); node && deck())
        deck()->play(*node);
}

void NodeListModel::toggleFavorite(int row)
{
    if (const std::optional<MediaNode> node = nodeAt(row); node && deck())
        deck()->toggleFavorite(*node);
}

} // namespace sendra::ui
