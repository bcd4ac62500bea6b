#pragma once

#include "State/NodeView.h"
#include "UI/DeckListModel.h"
#include "UI/RailRules.h"

#include <QtQml/qqmlregistration.h>

#include <optional>

namespace sendra::ui {

// One list of catalogue entries for a view: the library, the search results, the favourites, a category, a
// kind, the spotlight or a lane of the home feed. Rows read through the deck's position lists (no copies); the
// model resets once when the list it shows really changed (search results change their rows in place instead),
// and a favourite flip only changes the isFavorite role.
// Rows are told apart by index: entries of different kinds may share an id.
class NodeListModel : public DeckListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Source source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(QString groupId READ groupId WRITE setGroupId NOTIFY sourceChanged)
    Q_PROPERTY(QString kind READ kind WRITE setKind NOTIFY sourceChanged)
    Q_PROPERTY(int laneIndex READ laneIndex WRITE setLaneIndex NOTIFY sourceChanged)

public:
    enum Source { None, Library, Search, CenterFavorites, Favorites, Group, Kind, Spotlight, Lane };
    Q_ENUM(Source)
    enum Role {
        KeyRole = Qt::UserRole + 1,
        IdRole,
        TitleRole,
        ArtworkRole,
        KindRole,
        GenericRole,
        GroupNameRole,
        GroupIdRole,
        IsFavoriteRole
    };

    explicit NodeListModel(QObject* parent = nullptr);

    Source source() const { return m_source; }
    void setSource(Source source);
    QString groupId() const { return m_groupId; }
    void setGroupId(const QString& id);
    QString kind() const { return m_kind; }
    void setKind(const QString& kind);
    int laneIndex() const { return m_laneIndex; }
    void setLaneIndex(int index);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    std::optional<MediaNode> nodeAt(int row) const;
    // Where "Ver más" leads, decided over every entry of the list, the limit ignored.
    RailDestination moreDestination() const
    {
        return m_usesList ? ui::moreDestination(m_allList) : ui::moreDestination(m_allView);
    }
    Q_INVOKABLE QVariantMap get(int row) const;
    Q_INVOKABLE void open(int row);
    Q_INVOKABLE void play(int row);
    Q_INVOKABLE void toggleFavorite(int row);

signals:
    // The search results were replaced by changing rows in place rather than by a reset (views scroll back to
    // the first row, as after a reset). Also from and to no results, so pooled tiles serve the next word.
    void rowsReplaced();

private:
    void watchDeck() override;
    void reload() override;
    void favoritesChanged();

    Source m_source = None;
    QString m_groupId;
    QString m_kind;
    int m_laneIndex = -1;

    // Exactly one of the two holds the rows.
    NodeView m_view;
    QList<MediaNode> m_list;
    NodeView m_allView;
    QList<MediaNode> m_allList;
    bool m_usesList = false;
};

} // namespace sendra::ui
