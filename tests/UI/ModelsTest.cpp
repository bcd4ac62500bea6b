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

// Search results change their rows in place (the grid keeps its tiles, pooled ones too): removals or insertions
// at the end and one data change of the common rows, never a reset; every row reads the new results; nothing
// at all for an equal text.
TEST_F(ModelsTest, searchResultsChangeTheirRowsInPlace)
{
    AppHarness& app = open();
    app.connectPanel();

    NodeListModel search;
    QAbstractItemModelTester tester(&search, QAbstractItemModelTester::FailureReportingMode::Fatal);
    search.setDeck(&app.deck());
    search.setSource(NodeListModel::Search);
    ASSERT_EQ(search.count(), 0);
    QSignalSpy resets(&search, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&search, &QAbstractItemModel::rowsInserted);
    QSignalSpy removes(&search, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changes(&search, &QAbstractItemModel::dataChanged);
    QSignalSpy replaced(&search, &NodeListModel::rowsReplaced);
    const auto showsResults = [&] {
        const NodeView results = app.deck().searchResults();
        if (search.count() != results.size())
            return false;
        for (int row = 0; row < search.count(); ++row) {
            if (search.data(search.index(row), NodeListModel::KeyRole) != results[row].catalogKey()
                || search.data(search.index(row), NodeListModel::TitleRole) != results[row].title)
                return false;
        }
        return true;
    };

    app.deck().setSearchText(QStringLiteral("a"));
    EXPECT_EQ(inserts.count(), 1);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_TRUE(showsResults());
    const int many = search.count();
    ASSERT_GT(many, 1);
    app.deck().setSearchText(QStringLiteral("a"));
    EXPECT_EQ(resets.count() + inserts.count() + removes.count() + changes.count() + replaced.count(), 2);

    app.deck().setSearchText(app.deck().searchResults()[many - 1].title);
    ASSERT_GT(search.count(), 0);
    ASSERT_LT(search.count(), many);
    EXPECT_TRUE(showsResults());
    EXPECT_EQ(removes.count(), 1);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(replaced.count(), 2);

    app.deck().setSearchText(QStringLiteral("a"));
    EXPECT_EQ(search.count(), many);
    EXPECT_TRUE(showsResults());
    EXPECT_EQ(inserts.count(), 2);
    EXPECT_EQ(changes.count(), 2);

    app.deck().setSearchText(QStringLiteral("zzqx"));
    EXPECT_EQ(search.count(), 0);
    EXPECT_EQ(removes.count(), 2);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(resets.count(), 0);
}

} // namespace uitest
