#pragma once

#include "Domain/CatalogTypes.h"
#include "UI/DeckListModel.h"

#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// The deck's categories for a view: all sorted groups of the chosen kind, the browsable ones, or the featured
// ones. Thousands of rows: shown through lazy views only. Resets only when the list really changed.
class GroupListModel : public DeckListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Source source READ source WRITE setSource NOTIFY sourceChanged)

public:
    enum Source { Groups, BrowsableGroups, Featured };
    Q_ENUM(Source)
    enum Role { IdRole = Qt::UserRole + 1, NameRole, KindRole };

    explicit GroupListModel(QObject* parent = nullptr);

    Source source() const { return m_source; }
    void setSource(Source source);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE QVariantMap get(int row) const;
    // The row of the group with that id; -1 when none.
    Q_INVOKABLE int indexOf(const QString& groupId) const;
    const MediaGroup* groupAt(int row) const;

private:
    void watchDeck() override;
    void reload() override;

    Source m_source = Groups;
    QList<MediaGroup> m_groups;
};

} // namespace sendra::ui
