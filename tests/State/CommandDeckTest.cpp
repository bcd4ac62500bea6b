// The deck: construction from the vault and the product brand, its published properties, and the application
// of a catalogue as the connection, refresh and parental flows will drive it.
#include "StateTestSupport.h"

#include "CommandDeckProbe.h"
#include "TestDeck.h"

#include "Domain/CommandPalette.h"
#include "Domain/ProductBrand.h"
#include "Domain/StoredJson.h"
#include "State/CommandDeck.h"
#include "Storage/CommandVault.h"

#include <QMetaMethod>
#include <QSignalSpy>

#include <qcoro/qcorotask.h>

#include <functional>

using namespace sendra;
using namespace statetest;

namespace {

constexpr auto tv = SignalKind::broadcast;
constexpr auto film = SignalKind::cinema;

class CommandDeckTest : public ::testing::Test, protected sendra::testing::TestVault
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
};

QList<MediaNode> catalogue()
{
    QList<MediaNode> nodes;
    for (int i = 0; i < 12; ++i) {
        nodes.append(entry(tv, QString::number(i), "Canal " + QString::number(i), "n", "Noticias", true));
        nodes.append(entry(film, QString::number(i), "Película " + QString::number(i), "a", "Acción", true));
        nodes.append(entry(film, "c" + QString::number(i), "Comedia " + QString::number(i), "c", "Comedia", i % 2));
    }
    nodes.append(entry(film, "x", "XXX Night", "a", "Acción", true));
    return nodes;
}

// Connects to every notifying signal of the deck and runs `check` on each emission.
class EveryNotification : public QObject
{
    Q_OBJECT

public:
    EveryNotification(CommandDeck& deck, std::function<void(const char*)> check)
        : m_check(std::move(check))
    {
        const QMetaObject* meta = deck.metaObject();
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("seen()"));
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() == QMetaMethod::Signal)
                connect(&deck, method, this, slot);
        }
    }
    int count = 0;

public slots:
    void seen()
    {
        ++count;
        const QMetaMethod signal = sender()->metaObject()->method(senderSignalIndex());
        m_check(signal.name().constData());
    }

private:
    std::function<void(const char*)> m_check;
};

} // namespace

TEST_F(CommandDeckTest, AFreshInstallStartsAtTheAccessScreenWithTheProductBrand)
{
    CommandPalette::setActivePrimary("#000000");
    const auto vault = loadVault();
    const CommandDeck deck(*vault);
    const BrandPresentation product = ProductBrand::presentation(ProductBrand::current());
    EXPECT_EQ(deck.phase(), CommandDeck::Phase::access);
    EXPECT_TRUE(deck.identities().isEmpty());
    EXPECT_FALSE(deck.parentalEnabled());
    EXPECT_EQ(deck.draft(), SourceDraft());
    EXPECT_EQ(deck.activeBrand(), product);
    EXPECT_EQ(CommandPalette::activePrimary(), product.primaryColor);
    EXPECT_EQ(CommandPalette::activeSecondary(), product.secondaryColor);
    EXPECT_EQ(deck.dock(), CommandDeck::Dock::center);
    EXPECT_FALSE(deck.feed());
    EXPECT_TRUE(deck.nodesByKind().isEmpty());
    EXPECT_FALSE(deck.canReturnFromLibrary());
    EXPECT_FALSE(deck.isConnecting());
}

TEST_F(CommandDeckTest, TheSavedStateIsReadButNothingConnects)
{
    {
        const auto vault = loadVault();
        SourceDraft saved;
        saved.server = "http://panel.example:8080";
        saved.user = "ana";
        saved.password = "a+b";
        QCoro::waitFor(vault->upsertKeychainData(encodeRecord(saved), CommandVault::sourceAccount));
        vault->encode(QList<ViewerIdentity>{{QUuid::createUuid(), "Ana", "person"}}, "profiles");
        vault->setParentalEnabled(true);
        QCoro::waitFor(vault->settled());
    }
    const auto vault = loadVault();
    const CommandDeck deck(*vault);
    EXPECT_EQ(deck.phase(), CommandDeck::Phase::access);
    EXPECT_EQ(deck.draft().password, "a+b");
    EXPECT_EQ(deck.draft().server, "http://panel.example:8080");
    ASSERT_EQ(deck.identities().size(), 1);
    EXPECT_EQ(deck.identities()[0].name, "Ana");
    EXPECT_TRUE(deck.parentalEnabled());
    EXPECT_FALSE(deck.activeIdentity());
    EXPECT_FALSE(deck.isConnecting());
}

TEST_F(CommandDeckTest, DocksAndTheWayBackFromTheLibrary)
{
    EXPECT_EQ(CommandDeck::dockFromRawValue("Centro"), CommandDeck::Dock::center);
    EXPECT_EQ(CommandDeck::dockFromRawValue("centro"), std::nullopt);
    QStringList raw;
    for (CommandDeck::Dock dock : CommandDeck::allDocks)
        raw.append(CommandDeck::rawValue(dock));
    EXPECT_EQ(raw, (QStringList{"Centro", "Biblioteca", "Explorar", "Sistema"}));

    const auto vault = loadVault();
    CommandDeck deck(*vault);
    QSignalSpy back(&deck, &CommandDeck::canReturnFromLibraryChanged);
    deck.setChosenGroup(MediaGroup{"tv:7", "Deportes", tv});
    EXPECT_TRUE(deck.canReturnFromLibrary());
    EXPECT_EQ(back.count(), 1);
    // A chosen group the catalogue no longer has shows an empty library.
    EXPECT_EQ(deck.libraryNodeCount(), 0);
}

TEST_F(CommandDeckTest, EveryAssignmentNotifiesEvenOfAnEqualValue)
{
    const auto vault = loadVault();
    CommandDeck deck(*vault);
    QSignalSpy text(&deck, &CommandDeck::searchTextChanged);
    QSignalSpy results(&deck, &CommandDeck::searchResultsChanged);
    QSignalSpy phase(&deck, &CommandDeck::phaseChanged);
    deck.setSearchText("ca");
    deck.setSearchText("ca");
    deck.setPhase(CommandDeck::Phase::access);
    EXPECT_EQ(text.count(), 2);
    EXPECT_EQ(results.count(), 2);
    EXPECT_EQ(phase.count(), 1);
}

TEST_F(CommandDeckTest, ApplyingACatalogueIsSeenWholeByEveryObserver)
{
    const auto vault = loadVault();
    CommandDeck deck(*vault);
    QRandomGenerator random(9);
    CommandDeckProbe::seedRandom(deck, &random);
    deck.setChosenKind(SignalKind::episodic);
    deck.setSearchText("comedia");

    std::vector<std::string> problems;
    auto expect = [&](bool ok, const char* signal, const char* what) {
        if (!ok)
            problems.push_back(std::string(signal) + ": " + what);
    };
    EveryNotification spy(deck, [&](const char* signal) {
        const auto& catalog = deck.catalog();
        expect(deck.usesGenericPresentation() == catalog->usesGenericPresentation(), signal, "presentation");
        expect(deck.presentedKinds() == catalog->presentedKinds(), signal, "presented kinds");
        expect(deck.nodesByKind().total() == qsizetype(catalog->visibleCount()), signal, "entries by kind");
        expect(!deck.chosenKind() || deck.nodesByKind().contains(*deck.chosenKind()), signal, "chosen kind");
        expect(deck.feed().has_value() == (catalog->entries().size() > 0), signal, "feed");
        for (const MediaNode& n : deck.spotlightNodes()) {
            const NodeView found = deck.nodesByGroup(storedValue(n.kind) + u':' + n.groupID);
            expect(std::find(found.begin(), found.end(), n) != found.end(), signal, "spotlight entry");
        }
        if (deck.feed()) {
            for (const CommandLane& lane : deck.feed()->lanes) {
                for (const MediaNode& n : lane.nodes)
                    expect(!n.title.contains("XXX"), signal, "feed entry the centre may not show");
            }
        }
        expect(deck.searchResults().size() == (catalog->entries().size() > 0 ? 12 : 0), signal, "search");
    });

    QSignalSpy kind(&deck, &CommandDeck::chosenKindChanged);
    CommandDeckProbe::install(deck, catalogue());
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_GT(spy.count, 10);
    EXPECT_EQ(kind.count(), 1) << "the chosen kind has no entries and is cleared";
    EXPECT_FALSE(deck.chosenKind());
    EXPECT_EQ(deck.totalNodeCount(), 37);
    ASSERT_TRUE(deck.feed());
    EXPECT_FALSE(deck.feed()->lanes.isEmpty());
    EXPECT_EQ(deck.spotlightNodes().size(), 9);
    EXPECT_EQ(deck.groups().size(), 3);
    EXPECT_EQ(deck.featuredGroups().size(), 3);

    // Switching the parental filter: the same load again, the adult film gone from every list.
    deck.setChosenKind(film);
    kind.clear();
    CommandDeckProbe::reapply(deck, true);
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_EQ(kind.count(), 0) << "films are still there, so the chosen kind stays";
    EXPECT_EQ(deck.libraryNodeCount(), 24);
    EXPECT_EQ(deck.totalNodeCount(), 36);
    deck.setSearchText("xxx");
    EXPECT_TRUE(deck.searchResults().isEmpty());
}

TEST_F(CommandDeckTest, SpotlightMovesAwayFromWhatWasShownAndViewsFollowTheChoices)
{
    const auto vault = loadVault();
    CommandDeck deck(*vault);
    CommandDeckProbe::install(deck, catalogue());
    QSet<QString> before;
    for (const MediaNode& n : deck.spotlightNodes())
        before.insert(n.catalogKey());
    QSignalSpy spotlight(&deck, &CommandDeck::spotlightNodesChanged);
    deck.refreshSpotlights();
    EXPECT_EQ(spotlight.count(), 1);
    for (const MediaNode& n : deck.spotlightNodes())
        EXPECT_FALSE(before.contains(n.catalogKey())) << describe(n);

    EXPECT_EQ(deck.presentationKindTitle(film), "Películas");
    deck.setChosenKind(tv);
    EXPECT_EQ(names(deck.groups()), QStringList{"Noticias"});
    EXPECT_EQ(deck.libraryNodeCount(), 12);
    deck.setChosenGroup(deck.groups()[0]);
    EXPECT_EQ(titles(deck.nodesInGroup(deck.groups()[0], 2)), (QStringList{"Canal 0", "Canal 1"}));
    CommandDeckProbe::setFavorites(deck, {"movies:x", "tv:3", "series:3"});
    EXPECT_EQ(titles(deck.favoriteNodes()), (QStringList{"Canal 3", "XXX Night"}));
    EXPECT_EQ(titles(deck.centerFavoriteNodes()), QStringList{"Canal 3"});
}

#include "CommandDeckTest.moc"
