#include "AppHarness.h"

#include "UI/GroupListModel.h"
#include "UI/NodeListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace uitest {

using sendra::ui::GroupListModel;
using sendra::ui::NodeListModel;

using ModelsTest = AppTest;

// A list model resets once per real change of its list and never for an equal assignment; a favourite flip only
// changes the isFavorite role, and only of the entry with that node key (a channel and a film share id 1).
TEST_F(ModelsTest, resetOncePerRealChangeAndFavouritesByNodeKey)
{
    AppHarness& app = open();
    app.connectPanel();

    NodeListModel library;
    QAbstractItemModelTester tester(&library, QAbstractItemModelTester::FailureReportingMode::Fatal);
    library.setDeck(&app.deck());
    library.setSource(NodeListModel::Library);
    ASSERT_EQ(library.count(), 6); // every kind: two channels, three films, one series
    QSignalSpy resets(&library, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&library, &QAbstractItemModel::dataChanged);

    app.deck().setChosenKind(std::nullopt); // equal: the deck notifies anyway
    app.deck().setSearchText(QStringLiteral("película"));
    EXPECT_EQ(resets.count(), 0);
    app.deck().setChosenKind(SignalKind::cinema);
    EXPECT_EQ(resets.count(), 1);
    ASSERT_EQ(library.count(), 3);

    const int filmOne = [&] {
        for (int row = 0; row < library.count(); ++row)
            if (library.get(row).value("key") == "movies:1")
                return row;
        return -1;
    }();
    ASSERT_GE(filmOne, 0);
    library.toggleFavorite(filmOne);
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(library.data(library.index(filmOne), NodeListModel::IsFavoriteRole).toBool());
    EXPECT_TRUE(app.deck().favorites().contains("movies:1"));
    EXPECT_FALSE(app.deck().favorites().contains("tv:1"));

    // The limit caps the rows but the total stays; the categories of the chosen kind follow it.
    NodeListModel capped;
    capped.setDeck(&app.deck());
    capped.setSource(NodeListModel::Kind);
    capped.setKind("tv");
    capped.setLimit(1);
    EXPECT_EQ(capped.count(), 1);
    EXPECT_EQ(capped.totalCount(), 2);

    GroupListModel groups;
    QAbstractItemModelTester groupTester(&groups, QAbstractItemModelTester::FailureReportingMode::Fatal);
    groups.setDeck(&app.deck());
    ASSERT_EQ(groups.count(), 1);
    EXPECT_EQ(groups.get(0).value("name"), "Acción");
    QSignalSpy groupResets(&groups, &QAbstractItemModel::modelReset);
    app.deck().setChosenKind(SignalKind::cinema);
    EXPECT_EQ(groupResets.count(), 0);
    app.deck().setChosenKind(std::nullopt);
    EXPECT_EQ(groupResets.count(), 1);
    EXPECT_EQ(groups.count(), 3);
}

} // namespace uitest
