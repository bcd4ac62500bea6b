// The deck's small synchronous operations: identities and their favourites and resume points, the library's
// way back, the interface language and what unlinking keeps.
#include "TestDeck.h"

#include "Domain/CommandError.h"
#include "Domain/ActiveBrandColors.h"
#include "Domain/ProductBrand.h"
#include "Domain/ShownText.h"
#include "Domain/StoredJson.h"
#include "State/CommandDeck.h"
#include "Storage/CommandVault.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

using namespace sendra;

namespace {

MediaNode node(SignalKind kind, const QString& id)
{
    MediaNode n;
    n.kind = kind;
    n.id = id;
    n.title = "Title " + id;
    return n;
}

class DeckIdentitiesTest : public ::testing::Test, protected sendra::testing::TestVault
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        vault = loadVault();
        deck = std::make_unique<CommandDeck>(*vault);
    }

    // A restart: a new vault and deck over the same settings file and keyring.
    void reopen()
    {
        deck.reset();
        vault.reset();
        SetUp();
    }

    QStringList storedFavorites(const ViewerIdentity& identity) const
    {
        QStringList keys = vault->decode<QStringList>("favorites." + uuidText(identity.id)).value_or(QStringList());
        keys.sort();
        return keys;
    }

    std::unique_ptr<CommandVault> vault;
    std::unique_ptr<CommandDeck> deck;
};

} // namespace

TEST_F(DeckIdentitiesTest, IdentitiesKeepTheirOwnFavouritesAndResumePoints)
{
    deck->addIdentity(" \n ", "person");
    deck->addIdentity(QString::fromUtf8("\u200B \u2060\u200D\u3164\t\uFEFF"), "person"); // nothing visible
    deck->addIdentity(QString(QChar(0xD800)) + QChar(0x202E) + QChar(0x7), "person");
    EXPECT_TRUE(deck->identities().isEmpty());
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::access);

    // A direction override (the name would show reversed), a line break, a control character and a lone
    // surrogate (stored as "?") are taken out when the name is made, and it comes back the same after a restart.
    deck->addIdentity(
        QString::fromUtf8("Ana\u202E\nMar\u00EDa\u2067\x07 ") + QChar(0xDC01) + QString::fromUtf8("\U0001F600"),
        "person");
    const ViewerIdentity maria = *deck->activeIdentity();
    EXPECT_EQ(maria.name, QString::fromUtf8("Ana Mar\u00EDa \U0001F600"));
    reopen();
    EXPECT_EQ(deck->identities(), QList<ViewerIdentity>{maria});
    deck->deleteIdentity(maria);

    deck->addIdentity("  Ana ", "person");
    const ViewerIdentity ana = *deck->activeIdentity();
    EXPECT_EQ(ana.name, "Ana");
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::ready);
    EXPECT_EQ(vault->activeProfileID(), ana.id);
    EXPECT_EQ(vault->decode<QList<ViewerIdentity>>("profiles"), QList<ViewerIdentity>{ana});

    // A film and a series of the same id are two favourites; toggling twice takes one away again.
    deck->toggleFavorite(node(SignalKind::cinema, "7"));
    deck->toggleFavorite(node(SignalKind::episodic, "7"));
    deck->toggleFavorite(node(SignalKind::broadcast, "1"));
    deck->toggleFavorite(node(SignalKind::broadcast, "1"));
    EXPECT_EQ(storedFavorites(ana), (QStringList{"movies:7", "series:7"}));

    // Resume points stored older first come back newest first.
    const QDateTime older = QDateTime::currentDateTimeUtc().addDays(-2);
    const ResumeMarker first{"movies:1", node(SignalKind::cinema, "1"), 0.2, older, std::nullopt};
    const ResumeMarker second{"movies:2", node(SignalKind::cinema, "2"), 0.4, older.addDays(1), std::nullopt};
    deck->addIdentity("Bruno", "star");
    const ViewerIdentity bruno = *deck->activeIdentity();
    vault->encode(QList<ResumeMarker>{first, second}, "resume." + uuidText(bruno.id));
    EXPECT_TRUE(deck->favorites().isEmpty());

    deck->selectIdentity(bruno);
    ASSERT_EQ(deck->resumeMarkers().size(), 2);
    EXPECT_EQ(deck->resumeMarkers()[0].id, "movies:2");
    deck->selectIdentity(ana);
    EXPECT_EQ(deck->favorites(), (QSet<QString>{"movies:7", "series:7"}));
    EXPECT_TRUE(deck->resumeMarkers().isEmpty());

    // Deleting another identity keeps the active one; deleting the active one asks for an identity again.
    deck->deleteIdentity(bruno);
    EXPECT_EQ(deck->activeIdentity(), ana);
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::ready);
    deck->deleteIdentity(ana);
    EXPECT_FALSE(deck->activeIdentity());
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::profiles);
    EXPECT_EQ(vault->decode<QList<ViewerIdentity>>("profiles"), QList<ViewerIdentity>{});
    EXPECT_EQ(vault->activeProfileID(), ana.id) << "the remembered identity is not cleared";
    deck->toggleFavorite(node(SignalKind::cinema, "9"));
    EXPECT_EQ(storedFavorites(ana), (QStringList{"movies:7", "series:7"})) << "no active identity, no change";
}

// Lists written by earlier builds (a resume point with a relative artwork text) or damaged on disk: every record
// that reads is shown, and survives the next write and a restart; only the unreadable one is left out.
TEST_F(DeckIdentitiesTest, AStoredListWithAnUnreadableRecordKeepsTheOthersThroughAWriteAndARestart)
{
    const QString prefix = ProductBrand::storageNamespace(ProductBrand::current()) + ".";
    const ViewerIdentity ana{QUuid::createUuid(), "Ana", "person"};
    const ViewerIdentity bruno{QUuid::createUuid(), "Bruno", "star"};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto marker = [&](const QString& id, int minutesAgo) {
        return toJson(ResumeMarker{"movies:" + id, node(SignalKind::cinema, id), 0.4, now.addSecs(-60 * minutesAgo),
                                   std::nullopt});
    };
    QJsonObject relativeArtwork = marker("2", 1);
    QJsonObject oldNode = relativeArtwork.value("node").toObject();
    oldNode.insert("artwork", "/images/2.png");
    relativeArtwork.insert("node", oldNode);
    QJsonObject damaged = marker("3", 3);
    damaged.insert("fraction", "0,4");
    const auto text = [](const QJsonArray& list) {
        return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
    };
    {
        QSettings raw(folder.filePath("sendra.ini"), QSettings::IniFormat);
        raw.setValue(prefix + "profiles", text({toJson(ana), QJsonObject{{"id", "broken"}}, toJson(bruno)}));
        raw.setValue(prefix + "favorites." + uuidText(ana.id), R"(["movies:1", 7, "series:4"])");
        raw.setValue(prefix + "resume." + uuidText(ana.id), text({marker("1", 2), relativeArtwork, damaged}));
    }
    const auto markerIds = [this] {
        QStringList ids;
        for (const ResumeMarker& held : deck->resumeMarkers())
            ids.append(held.id);
        return ids;
    };

    reopen();
    EXPECT_EQ(deck->identities(), (QList<ViewerIdentity>{ana, bruno}));
    deck->selectIdentity(ana);
    EXPECT_EQ(deck->favorites(), (QSet<QString>{"movies:1", "series:4"}));
    EXPECT_EQ(markerIds(), (QStringList{"movies:2", "movies:1"}));
    EXPECT_FALSE(deck->resumeMarkers().first().node.artwork);

    deck->addIdentity("Carla", "person");
    const ViewerIdentity carla = *deck->activeIdentity();
    deck->selectIdentity(ana);
    deck->toggleFavorite(node(SignalKind::cinema, "9"));
    deck->addResume(node(SignalKind::cinema, "5"), 0.5, std::nullopt);

    reopen();
    EXPECT_EQ(deck->identities(), (QList<ViewerIdentity>{ana, bruno, carla}));
    deck->selectIdentity(ana);
    EXPECT_EQ(deck->favorites(), (QSet<QString>{"movies:1", "series:4", "movies:9"}));
    EXPECT_EQ(markerIds(), (QStringList{"movies:5", "movies:2", "movies:1"}));
}

// A source decides how long titles, group names and ids are, and each favourite or resume point written rewrites the
// whole settings file on the main thread: what they keep of an entry stays small, lists written with whole texts
// come back bounded and are written back so, and an entry whose id is itself that long is kept nowhere.
TEST_F(DeckIdentitiesTest, LongTitlesLeaveTheSettingsFileSmallAndEveryMarkerComesBack)
{
#ifdef __SANITIZE_ADDRESS__
    // Under the address sanitizer every realloc copies, and Qt's settings writer grows its buffer a character at a
    // time: writing even the bounded file of thirty markers of ideographs takes minutes there. The ordinary build
    // runs it.
    GTEST_SKIP() << "quadratic under the address sanitizer's realloc";
#endif
    constexpr qsizetype mebibyte = 1 << 20;
    const auto longText = [](const QString& head) { return head + QString(1'000'000, QChar(0x4E2D)); };
    const auto film = [&](const QString& id) {
        MediaNode n = node(SignalKind::cinema, id);
        n.title = longText("Película " + id);
        n.groupID = "group:" + longText("cine").toLower();
        n.groupName = longText("Cine");
        n.directURL = QUrl("http://h.example/movie/u/p/" + id + ".mkv");
        return n;
    };
    const auto fileSize = [this] { return QFileInfo(settingsFile()).size(); };
    const auto titles = [this] {
        QStringList shown;
        for (const ResumeMarker& marker : deck->resumeMarkers())
            shown.append(marker.node.title);
        return shown;
    };

    deck->addIdentity("Ana", "person");
    const ViewerIdentity ana = *deck->activeIdentity();
    const QString hugeKey = "movies:" + longText("id");
    const QDateTime earlier = QDateTime::currentDateTimeUtc().addDays(-1);
    vault->encode(QList<ResumeMarker>{{"movies:1", film("1"), 0.3, earlier, std::nullopt},
                                      {"movies:2", film("2"), 0.6, earlier.addSecs(-60), std::nullopt}},
                  "resume." + uuidText(ana.id));
    vault->encode(QStringList{"movies:1", hugeKey}, "favorites." + uuidText(ana.id));
    reopen();
    deck->selectIdentity(ana);
    ASSERT_LT(fileSize(), mebibyte) << "what an earlier build wrote whole is written back bounded";
    EXPECT_EQ(titles(), (QStringList{shownText(film("1").title), shownText(film("2").title)}));
    EXPECT_EQ(deck->resumeMarkers().first().node.groupName, shownText(film("1").groupName));
    EXPECT_EQ(deck->resumeMarkers().first().node.directURL, film("1").directURL);
    EXPECT_EQ(deck->favorites(), QSet<QString>{"movies:1"});

    QStringList newest;
    for (int i = 10; i < 40; ++i) {
        deck->addResume(film(QString::number(i)), 0.5, std::nullopt);
        newest.prepend(shownText(film(QString::number(i)).title));
    }
    MediaNode hugeId = film("x");
    hugeId.id = hugeKey.mid(7);
    deck->addResume(hugeId, 0.5, std::nullopt);
    deck->toggleFavorite(hugeId);
    // The centre keeps off a marker whose whole title holds an adult keyword; its shown part would not tell.
    MediaNode adult = film("41");
    adult.title += " xxx";
    deck->addResume(adult, 0.5, std::nullopt);
    deck->toggleFavorite(film("12"));
    EXPECT_EQ(deck->favorites(), (QSet<QString>{"movies:1", "movies:12"}));
    EXPECT_EQ(deck->resumeMarkers().size(), 32);
    EXPECT_LT(fileSize(), mebibyte);

    reopen();
    deck->selectIdentity(ana);
    EXPECT_EQ(titles(), newest);
    EXPECT_EQ(deck->favorites(), (QSet<QString>{"movies:1", "movies:12"}));
}

TEST_F(DeckIdentitiesTest, TheLibraryRemembersItsWayBack)
{
    const MediaGroup news{"tv:1", "Noticias", SignalKind::broadcast};
    deck->openLibrary(SignalKind::broadcast, news);
    deck->openLibrary(SignalKind::cinema, std::nullopt);
    EXPECT_EQ(deck->dock(), CommandDeck::Dock::library);
    EXPECT_EQ(deck->chosenKind(), SignalKind::cinema);
    EXPECT_EQ(deck->chosenGroup(), std::nullopt);

    deck->returnFromLibrary();
    EXPECT_EQ(deck->chosenKind(), SignalKind::broadcast);
    EXPECT_EQ(deck->chosenGroup(), news);
    EXPECT_EQ(deck->dock(), CommandDeck::Dock::library);
    deck->returnFromLibrary();
    EXPECT_EQ(deck->dock(), CommandDeck::Dock::center);
    EXPECT_EQ(deck->chosenKind(), std::nullopt);
    EXPECT_FALSE(deck->canReturnFromLibrary());

    // With nothing to go back to, only the chosen category is dropped.
    deck->setChosenKind(SignalKind::broadcast);
    deck->setChosenGroup(news);
    deck->returnFromLibrary();
    EXPECT_EQ(deck->chosenGroup(), std::nullopt);
    EXPECT_EQ(deck->chosenKind(), SignalKind::broadcast);

    // Choosing the section already shown keeps the way back; another section forgets it.
    deck->openLibrary(std::nullopt, std::nullopt);
    deck->selectDock(CommandDeck::Dock::library);
    EXPECT_TRUE(deck->canReturnFromLibrary());
    deck->selectDock(CommandDeck::Dock::systems);
    EXPECT_FALSE(deck->canReturnFromLibrary());
    EXPECT_EQ(deck->dock(), CommandDeck::Dock::systems);
}

TEST_F(DeckIdentitiesTest, TheLanguageIsSharedByBothProductsAndFailuresShowTheirOwnText)
{
    deck->selectLanguage(AppLanguage::english);
    EXPECT_EQ(deck->appLanguage(), AppLanguage::english);
    EXPECT_EQ(LanguagePreferences::selected(), AppLanguage::english);
    deck->selectLanguage(AppLanguage::spanish);
    EXPECT_EQ(LanguagePreferences::selected(), AppLanguage::spanish);

    const char* fallback = L10n::noop("No fue posible validar el código.");
    EXPECT_EQ(
        CommandDeck::failureMessage(std::make_exception_ptr(CommandFailure(CommandError::emptyCatalog)), fallback),
        spanishMessage(CommandError::emptyCatalog));
    // Anything else, a transfer failure included, never shows its own (address-bearing) text.
    const netkit::HttpError transfer(netkit::HttpError::Kind::Transport, QNetworkReply::ConnectionRefusedError);
    EXPECT_EQ(CommandDeck::failureMessage(std::make_exception_ptr(transfer), fallback), QString::fromUtf8(fallback));
}

TEST_F(DeckIdentitiesTest, UnlinkingForgetsTheSourceAndKeepsTheViewer)
{
    SourceDraft saved;
    saved.server = "http://panel.example";
    saved.user = "ana";
    saved.password = "pw";
    vault->upsertKeychainData(encodeRecord(saved), CommandVault::sourceAccount);
    const CommandVault::PrivateAccessGrant grant{"b", "i", "ana", "http://panel.example",
                                                 QDateTime::currentDateTimeUtc()};
    vault->upsertKeychainData(encodeList(QList{grant}), CommandVault::grantsAccount);
    deck->setDraft(saved);
    deck->addIdentity("Ana", "person");
    deck->toggleFavorite(node(SignalKind::cinema, "7"));
    deck->openLibrary(SignalKind::cinema, std::nullopt);
    deck->setErrorMessage(QString("kept"));
    ActiveBrandColors::setActivePrimary("#000000");

    deck->disconnect();
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::access);
    EXPECT_EQ(deck->draft(), SourceDraft());
    EXPECT_FALSE(vault->source());
    EXPECT_EQ(vault->privateAccessGrants(QDateTime::currentDateTimeUtc()).size(), 1);
    EXPECT_FALSE(deck->activeIdentity());
    EXPECT_EQ(deck->identities().size(), 1);
    EXPECT_EQ(deck->favorites(), QSet<QString>{"movies:7"});
    EXPECT_EQ(deck->chosenKind(), SignalKind::cinema) << "the library's choice is left as it was";
    EXPECT_FALSE(deck->canReturnFromLibrary());
    EXPECT_EQ(deck->errorMessage(), "kept");
    EXPECT_EQ(ActiveBrandColors::activePrimary(), ProductBrand::presentation(ProductBrand::current()).primaryColor);
    EXPECT_FALSE(deck->feed());
}
