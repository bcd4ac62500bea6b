#pragma once

#include "Domain/CatalogTypes.h"

#include "State/CommandDeck.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QQmlParserStatus>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// The deck's categories for a view: all sorted groups of the chosen kind, the browsable ones, or the featured
// ones. Thousands of rows: shown through lazy views only. Resets only when the list really changed.
class GroupListModel : public QAbstractListModel, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(Source source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(int limit READ limit WRITE setLimit NOTIFY sourceChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int totalCount READ totalCount NOTIFY countChanged)

public:
    enum Source { Groups, BrowsableGroups, Featured };
    Q_ENUM(Source)
    enum Role { IdRole = Qt::UserRole + 1, NameRole, KindRole };

    explicit GroupListModel(QObject* parent = nullptr);
    void setDeck(CommandDeck* deck);

    Source source() const { return m_source; }
    void setSource(Source source);
    int limit() const { return m_limit; }
    void setLimit(int limit);
    int count() const { return int(m_groups.size()); }
    int totalCount() const { return m_total; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE QVariantMap get(int row) const;
    // The row of the group with that id; -1 when none.
    Q_INVOKABLE int indexOf(const QString& groupId) const;
    const MediaGroup* groupAt(int row) const;

    void classBegin() override {}
    void componentComplete() override;

signals:
    void sourceChanged();
    void countChanged();

private:
    void reload();

    QPointer<CommandDeck> m_deck;
    QList<QMetaObject::Connection> m_connections;
    Source m_source = Groups;
    int m_limit = -1;
    QList<MediaGroup> m_groups;
    int m_total = 0;
};

} // namespace sendra::ui
