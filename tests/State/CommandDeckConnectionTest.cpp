// The deck connecting sources end to end over real HTTP on loopback: the platform service, Xtream Codes panels
// and a playlist host, with scaled-down time-outs and a clock the test moves.
#include "StateTestSupport.h"

#include "CommandDeckProbe.h"
#include "TestDeck.h"

#include "Domain/CommandError.h"
#include "Domain/ProductBrand.h"
#include "Domain/StoredJson.h"
#include "NetKit/NetLog.h"
#include "State/CommandDeck.h"
#include "State/DeckLog.h"
#include "Storage/CommandVault.h"
#include "catalog-gen/CatalogGenerator.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakePlaylistHost.h"
#include "fakes/FakeXtreamPanel.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QPromise>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

using namespace sendra;
using namespace std::chrono_literals;
using fakes::FakePlatform;
using fakes::FakeXtreamPanel;
using fakes::Reply;
using testkit::CatalogGenerator;
using testkit::PanelKind;

namespace {

constexpr int perKind = 12;
const QString identifier = QStringLiteral("orr-club");
const QDateTime t0 = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);

QString product()
{
    return ProductBrand::presentation(ProductBrand::current()).slug;
}

QString message(CommandError error)
{
    return spanishMessage(error);
}

// A panel that serves a small generated catalogue to one account.
class CataloguePanel : public FakeXtreamPanel
{
public:
    CataloguePanel(std::string user, std::string password, quint64 seed)
        : FakeXtreamPanel(std::move(user), std::move(password))
    {
        const CatalogGenerator generator(testkit::CatalogShape{seed, 4, true, 0});
        const std::pair<PanelKind, std::pair<const char*, const char*>> actions[] = {
            {PanelKind::Live, {"get_live_streams", "get_live_categories"}},
            {PanelKind::Vod, {"get_vod_streams", "get_vod_categories"}},
            {PanelKind::Series, {"get_series", "get_series_categories"}},
        };
        for (const auto& [kind, names] : actions) {
            answer(names.first, Reply::json(generator.streams(kind, perKind).toStdString()));
            answer(names.second, Reply::json(generator.categories(kind).toStdString()));
        }
    }

    QString origin() const { return baseUrl().toString(); }
};

// The platform and the vault come from TestDeck; the panels here serve generated catalogues instead of its small one.
class DeckConnectionTest : public ::testing::Test, protected sendra::testing::TestDeck
{
protected:
    DeckConnectionTest() : TestDeck(std::nullopt) {}

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        vault = loadVault();
        deck = makeDeck(*vault, &manager, PanelTimeouts{2s, 2s, 300ms, 2s, 300ms});
        deck->setClock([this] { return now; });
        QObject::connect(deck.get(), &CommandDeck::connectionStatusChanged,
                         [this] { statuses.append(deck->connectionStatus()); });
    }

    SourceDraft panelDraft(const QString& server, const QString& user = "demo", const QString& password = "s3cret")
    {
        SourceDraft draft;
        draft.server = server;
        draft.user = user;
        draft.password = password;
        return draft;
    }

    // Connects the form and waits until the connection stops (finished, failed or waiting for the code).
    void connectWith(const SourceDraft& draft)
    {
        statuses.clear();
        deck->setDraft(draft);
        deck->connect();
        settle();
    }

    void settle()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !deck->isConnecting(); }, 10000)) << "still connecting";
    }

    void waitForHeld(fakes::LoopbackServer& server)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.heldCount() > 0; }, 5000)) << "nothing was held";
    }

    // A private brand of this product whose servers are tried in this order.
    void publishBrand(const QList<FakePlatform::Server>& servers, const QString& slug = product())
    {
        platform.setIdentifierAnswer(identifier.toStdString(), FakePlatform::privateAnswer(slug, identifier, servers));
        platform.acceptCode(product().toStdString(), "club", "4321");
    }

    int totalEntries() const { return int(deck->nodesByKind().total()); }

    std::unique_ptr<CommandVault> vault;
    CataloguePanel freePanel{"demo", "s3cret", 7};
    // A private brand's servers.
    CataloguePanel retired{"club", "pw", 1};
    CataloguePanel refusing{"other", "pw", 2};
    CataloguePanel accepting{"club", "pw", 3};
    fakes::FakePlaylistHost host;
    // Gone before the servers: a connection it opened but never used would keep a server waiting on stop.
    QNetworkAccessManager manager;
    std::unique_ptr<CommandDeck> deck;
    QDateTime now = t0;
    QStringList statuses;
};

} // namespace

TEST(DeckEntry, TheServerFieldChoosesTheRoad)
{
    for (const char* server : {"panel.example", "10.0.0.1", "host:8080", "a/b", "HTTPS://PANEL", " http://x "})
        EXPECT_TRUE(CommandDeck::looksLikeServer(server)) << server;
    for (const char* server : {"", "   ", "orr-club", "Marca"})
        EXPECT_FALSE(CommandDeck::looksLikeServer(server)) << server;
}

TEST_F(DeckConnectionTest, AFreePanelConnectsThroughEveryStepToTheIdentityScreen)
{
    platform.setOriginAnswer(freePanel.origin().toStdString(), FakePlatform::freeAnswer());
    // Typed without a scheme and with blanks around it.
    const SourceDraft draft = panelDraft("  " + freePanel.baseUrl().authority() + "  ");
    connectWith(draft);

    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_EQ(statuses, (QStringList{"Comprobando la fuente", "Comprobando el acceso", "Validando la fuente",
                                     "Construyendo el centro", ""}));
    EXPECT_EQ(platform.requestCount("/api/platform/resolve"), 2u) << "asked before and after the panel check";
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::profiles);
    EXPECT_EQ(totalEntries(), 3 * perKind);
    ASSERT_TRUE(deck->feed());
    EXPECT_EQ(deck->activeBrand().slug, product());
    EXPECT_EQ(vault->source(), draft) << "the form is saved as typed";
    EXPECT_FALSE(deck->canReturnFromLibrary());

    // A second connection of a wrong password fails with the panel's verdict and leaves the catalogue shown.
    connectWith(panelDraft(freePanel.origin(), "demo", "wrong"));
    EXPECT_EQ(deck->errorMessage(), message(CommandError::invalidCredentials));
    EXPECT_EQ(deck->connectionStatus(), "");
    EXPECT_EQ(totalEntries(), 3 * perKind);
}

TEST_F(DeckConnectionTest, AFreePlaylistGoesStraightToTheRememberedIdentity)
{
    const CatalogGenerator generator;
    const QUrl list = host.publish("/lists/all.m3u", generator.playlist(20).toStdString());
    platform.setOriginAnswer(host.baseUrl().toString().toStdString(), FakePlatform::freeAnswer());
    deck->addIdentity("  Ana  ", "person");
    ASSERT_EQ(deck->identities().size(), 1);
    EXPECT_EQ(deck->identities()[0].name, "Ana");

    SourceDraft draft;
    draft.method = SourceMethod::playlist;
    draft.server = "brand-like-text"; // a playlist form never takes the private road
    draft.playlist = list.toString();
    connectWith(draft);

    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_EQ(statuses, (QStringList{"Comprobando la fuente", "Comprobando el acceso", "Construyendo el centro", ""}));
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::ready);
    ASSERT_TRUE(deck->activeIdentity());
    EXPECT_EQ(deck->activeIdentity()->name, "Ana");
    EXPECT_EQ(totalEntries(), 20);
    EXPECT_EQ(vault->source()->playlist, list.toString());

    // Not an http(s) address: refused before any request.
    platform.clearRequests();
    draft.playlist = "ftp://lists.example/all.m3u";
    connectWith(draft);
    EXPECT_EQ(deck->errorMessage(), message(CommandError::invalidCredentials));
    EXPECT_EQ(platform.requestCount(), 0u);
}

TEST_F(DeckConnectionTest, ThePrivateRoadTriesTheServersInOrderThenAsksForTheCode)
{
    publishBrand({{retired.origin(), 1, false}, {refusing.origin(), 2}, {accepting.origin(), 3, true, {}, {"Adultos"}}});
    // The platform's prepared catalogue of the accepting server, published under the brand's slug.
    FakePlatform::Build build;
    build.version = 5;
    build.normal.movies = QJsonArray{FakePlatform::item("m1", "Prepared film", "movies", "Estrenos")};
    platform.publish(product().toStdString(), 3, accepting.origin().toStdString(), build);

    connectWith(panelDraft(identifier, "club", "pw"));
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_EQ(statuses, (QStringList{"Comprobando la fuente", "Buscando la marca", "Buscando un servidor disponible", ""}));
    EXPECT_EQ(retired.requestCount(), 0u);
    EXPECT_EQ(refusing.requestCount(), 1u);
    EXPECT_EQ(accepting.requestCount(), 1u);
    EXPECT_TRUE(deck->accessCodeRequired());
    EXPECT_EQ(deck->activeBrand().name, "Marca " + product());
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::access);

    // A wrong code keeps the sheet and the pending connection.
    deck->setAccessCode("1111");
    deck->confirmPrivateAccess();
    settle();
    EXPECT_EQ(deck->errorMessage(), message(CommandError::invalidAccessCode));
    EXPECT_TRUE(deck->accessCodeRequired());

    deck->setAccessCode("4321");
    deck->confirmPrivateAccess();
    settle();
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_FALSE(deck->accessCodeRequired());
    EXPECT_EQ(deck->accessCode(), "");
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::profiles);
    // No catalogue brand named: the brand's own slug serves the prepared catalogue.
    EXPECT_EQ(totalEntries(), 1);
    const auto grants = vault->privateAccessGrants(now);
    ASSERT_EQ(grants.size(), 1);
    EXPECT_EQ(grants[0].brand, product());
    EXPECT_EQ(grants[0].identifier, identifier);
    EXPECT_EQ(grants[0].username, "club");
    EXPECT_EQ(grants[0].origin, accepting.origin());
    EXPECT_EQ(grants[0].validatedAt, t0);
}

TEST_F(DeckConnectionTest, AGrantAdmitsForTwentyDaysAndNotAMomentLonger)
{
    // Its user is typed with blanks around it, as the grant is compared trimmed.
    accepting.setCredentials(" club ", "pw");
    publishBrand({{accepting.origin(), 1}});
    CommandVault::PrivateAccessGrant grant{product(), identifier, "club", accepting.origin(), t0};
    vault->upsertKeychainData(encodeList(QList{grant}), CommandVault::grantsAccount);

    now = t0.addSecs(CommandVault::grantLifetimeSeconds - 3600);
    connectWith(panelDraft(identifier, " club ", "pw"));
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_FALSE(deck->accessCodeRequired());
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::profiles);
    EXPECT_EQ(platform.requestCount("/api/platform/access/validate"), 0u);

    deck->disconnect();
    now = t0.addSecs(CommandVault::grantLifetimeSeconds);
    connectWith(panelDraft(identifier, " club ", "pw"));
    EXPECT_TRUE(deck->accessCodeRequired()) << "a grant of exactly 20 days no longer admits";
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::access);
}

TEST_F(DeckConnectionTest, TheCodeIsRefusedWhenTheBrandIsNoLongerThisProducts)
{
    publishBrand({{accepting.origin(), 1}});
    connectWith(panelDraft(identifier, "club", "pw"));
    ASSERT_TRUE(deck->accessCodeRequired());

    publishBrand({{accepting.origin(), 1}}, "someone-else");
    deck->setAccessCode("4321");
    deck->confirmPrivateAccess();
    settle();
    EXPECT_EQ(deck->errorMessage(), message(CommandError::unauthorizedOrigin));
    EXPECT_TRUE(deck->accessCodeRequired());
    EXPECT_EQ(platform.requestCount("/api/platform/access/validate"), 1u) << "only the admission question was asked";
    EXPECT_TRUE(vault->privateAccessGrants(now).isEmpty());

    // Cancelling the sheet shows the product's own brand again and keeps the message.
    deck->cancelPrivateAccess();
    EXPECT_FALSE(deck->accessCodeRequired());
    EXPECT_EQ(deck->activeBrand(), ProductBrand::presentation(ProductBrand::current()));
    EXPECT_EQ(deck->errorMessage(), message(CommandError::unauthorizedOrigin));
    deck->confirmPrivateAccess();
    EXPECT_FALSE(deck->isConnecting()) << "nothing pending to confirm";
}

TEST_F(DeckConnectionTest, AFreeServerOfAPrivateBrandIsHandedToThePrivateRoad)
{
    publishBrand({{accepting.origin(), 1}});
    platform.setOriginAnswer(accepting.origin().toStdString(),
                             FakePlatform::privateAnswer(product(), identifier, {{accepting.origin(), 1}}));
    connectWith(panelDraft(accepting.origin(), "club", "pw"));
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_TRUE(deck->accessCodeRequired());

    // Another product's brand is refused before its colours are shown.
    deck->cancelPrivateAccess();
    publishBrand({{accepting.origin(), 1}}, "someone-else");
    connectWith(panelDraft(identifier, "club", "pw"));
    EXPECT_EQ(deck->errorMessage(), message(CommandError::invalidBrandIdentifier));
    EXPECT_EQ(deck->activeBrand(), ProductBrand::presentation(ProductBrand::current()));
}

TEST_F(DeckConnectionTest, APreparedCatalogueThatTimesOutFallsBackToTheWholePanel)
{
    platform.setOriginAnswer(freePanel.origin().toStdString(), FakePlatform::providerAnswer(freePanel.origin(), 2));
    platform.route("GET", "/api/catalog/calvenor/manifest", Reply::json("{}").held());
    connectWith(panelDraft(freePanel.origin()));
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_EQ(platform.requestCount("/api/catalog/calvenor/manifest"), 1u);
    EXPECT_EQ(totalEntries(), 3 * perKind);
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::profiles);
    platform.release();
}

TEST_F(DeckConnectionTest, ASecondConnectWhileConnectingIsIgnored)
{
    platform.setOriginAnswer(freePanel.origin().toStdString(), FakePlatform::freeAnswer());
    freePanel.answer("", Reply::json(FakeXtreamPanel::acceptedAccount("demo")).held());
    deck->setDraft(panelDraft(freePanel.origin()));
    deck->connect();
    waitForHeld(freePanel);
    deck->connect();
    freePanel.answer("", Reply::json(FakeXtreamPanel::acceptedAccount("demo")));
    freePanel.release();
    settle();
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_EQ(freePanel.requestsFor("").size(), 1u);
    EXPECT_EQ(platform.requestCount("/api/platform/resolve"), 2u);
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::profiles);
}

TEST_F(DeckConnectionTest, UnlinkingWhileAnAnswerIsHeldAppliesNothingAndShowsNothing)
{
    // One held answer at a time: a parallel request cut before it reached the fake keeps its server waiting.
    const CatalogGenerator generator;
    SourceDraft draft;
    draft.method = SourceMethod::playlist;
    draft.playlist = host.publish("/all.m3u", Reply::text(generator.playlist(20).toStdString()).held()).toString();
    platform.setOriginAnswer(host.baseUrl().toString().toStdString(), FakePlatform::freeAnswer());
    deck->setDraft(draft);
    deck->connect();
    waitForHeld(host);
    EXPECT_EQ(deck->connectionStatus(), "Construyendo el centro");
    deck->disconnect();
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::access);
    EXPECT_EQ(deck->draft(), SourceDraft());
    host.release();
    settle();
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_EQ(deck->connectionStatus(), "");
    EXPECT_FALSE(deck->feed());
    EXPECT_EQ(totalEntries(), 0);
    EXPECT_FALSE(vault->source());
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::access);

    // The same during a code check: no grant is saved and the sheet stays closed.
    publishBrand({{accepting.origin(), 1}});
    connectWith(panelDraft(identifier, "club", "pw"));
    ASSERT_TRUE(deck->accessCodeRequired());
    platform.route("POST", "/api/platform/access/validate", Reply::json(R"({"valid":true})").held());
    deck->setAccessCode("4321");
    deck->confirmPrivateAccess();
    waitForHeld(platform);
    deck->disconnect();
    EXPECT_FALSE(deck->accessCodeRequired());
    platform.release();
    settle();
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_TRUE(vault->privateAccessGrants(now).isEmpty());
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::access);
    EXPECT_EQ(deck->activeBrand(), ProductBrand::presentation(ProductBrand::current()));

    // A deck that goes away mid-connection leaves a task that touches nothing when its answer comes.
    platform.setOriginAnswer(freePanel.origin().toStdString(), FakePlatform::freeAnswer());
    freePanel.answer("", Reply::json(FakeXtreamPanel::acceptedAccount("demo")).held());
    deck->setDraft(panelDraft(freePanel.origin()));
    deck->connect();
    waitForHeld(freePanel);
    deck.reset();
    freePanel.release();
    QTest::qWait(100);
    EXPECT_FALSE(vault->source());
}

TEST_F(DeckConnectionTest, UnlinkingWhileTheCatalogueIsPreparedInstallsNothingAndFreesTheForm)
{
    const auto held = CommandDeckProbe::holdNextPreparation(*deck);
    platform.setOriginAnswer(freePanel.origin().toStdString(), FakePlatform::freeAnswer());
    deck->setDraft(panelDraft(freePanel.origin()));
    deck->connect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return held->started; }, 10000)) << "the catalogue never reached preparation";
    EXPECT_EQ(held->nodes.size(), 3 * perKind);

    deck->disconnect();
    // At once, though the preparation has not ended: the form can connect again.
    EXPECT_FALSE(deck->isConnecting());
    EXPECT_EQ(deck->connectionStatus(), "");
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::access);

    held->finish();
    QTest::qWait(100);
    EXPECT_EQ(totalEntries(), 0);
    EXPECT_FALSE(deck->feed());
    EXPECT_FALSE(vault->source());
    QCoro::waitFor(vault->settled());
    EXPECT_FALSE(secrets->items().contains(CommandVault::sourceAccount));
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::access);
    EXPECT_FALSE(deck->isConnecting());

    connectWith(panelDraft(freePanel.origin()));
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::profiles);
    EXPECT_EQ(totalEntries(), 3 * perKind);
    EXPECT_TRUE(vault->source());
}

TEST_F(DeckConnectionTest, IdentitiesSurviveUnlinkingButADeletedOneIsNotRemembered)
{
    platform.setOriginAnswer(freePanel.origin().toStdString(), FakePlatform::freeAnswer());
    const SourceDraft draft = panelDraft(freePanel.origin());
    connectWith(draft);
    ASSERT_EQ(deck->phase(), CommandDeck::Phase::profiles);
    deck->addIdentity("Ana", "person");
    deck->addIdentity("Bruno", "star");
    const ViewerIdentity bruno = *deck->activeIdentity();
    const MediaNode first = deck->nodesByKind().value(SignalKind::cinema).front();
    deck->toggleFavorite(first);

    // Unlinked and connected again: straight to Bruno, with his favourite.
    deck->disconnect();
    EXPECT_FALSE(deck->activeIdentity());
    EXPECT_EQ(deck->identities().size(), 2);
    connectWith(draft);
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::ready);
    EXPECT_EQ(deck->activeIdentity(), bruno);
    EXPECT_EQ(deck->favorites(), QSet<QString>{first.catalogKey()});

    // Deleting the active identity returns to the identity screen; the next connection does not find it.
    deck->deleteIdentity(bruno);
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::profiles);
    EXPECT_FALSE(deck->activeIdentity());
    EXPECT_EQ(deck->identities().size(), 1);
    connectWith(draft);
    EXPECT_EQ(deck->phase(), CommandDeck::Phase::profiles);
    EXPECT_FALSE(deck->activeIdentity());
}

namespace {

QMutex capturedMutex;
QStringList captured;

void capture(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const QMutexLocker lock(&capturedMutex);
    captured.append(QString::fromLatin1(type == QtWarningMsg ? "warning " : "") +
                    QString::fromLatin1(context.category ? context.category : "") + QStringLiteral(": ") + text);
}

} // namespace

TEST_F(DeckConnectionTest, FailedConnectionsLogNoAddressNorCredential)
{
    // Quiet below warning unless the developer asks for more.
    for (const QLoggingCategory* category : {&netkit::netLog(), &deckLog()}) {
        EXPECT_FALSE(category->isDebugEnabled()) << category->categoryName();
        EXPECT_FALSE(category->isInfoEnabled()) << category->categoryName();
        EXPECT_TRUE(category->isWarningEnabled()) << category->categoryName();
    }

    // Everything of ours turned up to debug, and every message of the process kept.
    QLoggingCategory::setFilterRules(QStringLiteral("sendra.*=true"));
    captured.clear();
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    const auto restore = qScopeGuard([previous] {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
    });

    const QString password = QStringLiteral("pa+ss/w0rd%21");
    const QString user = QStringLiteral("secret-user");
    // A panel that refuses the account.
    platform.setOriginAnswer(freePanel.origin().toStdString(), FakePlatform::freeAnswer());
    connectWith(panelDraft(freePanel.origin(), user, password));
    EXPECT_NE(deck->errorMessage(), std::nullopt);
    // A server that is not there.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString gone = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    connectWith(panelDraft(gone, user, password));
    EXPECT_NE(deck->errorMessage(), std::nullopt);
    // A playlist whose address carries the account, answered with an error.
    host.route("GET", "/get.php", Reply::empty(500));
    SourceDraft playlist;
    playlist.method = SourceMethod::playlist;
    playlist.playlist = host.baseUrl().toString() + "/get.php?username=" + user + "&password=" + password;
    platform.setOriginAnswer(host.baseUrl().toString().toStdString(), FakePlatform::freeAnswer());
    connectWith(playlist);
    EXPECT_NE(deck->errorMessage(), std::nullopt);

    // "w0rd" is in the password however an address encodes it.
    const QMutexLocker lock(&capturedMutex);
    // Each failure is told, so that an address in a message would be seen.
    EXPECT_EQ(captured.filter(QStringLiteral("warning sendra.deck: Sendra: connecting to the source failed")).size(), 3)
        << qPrintable(captured.join('\n'));
    for (const QString& line : captured) {
        for (const QString& secret : {password, QStringLiteral("w0rd"), user, gone, freePanel.baseUrl().authority(),
                                      host.baseUrl().authority()})
            EXPECT_FALSE(line.contains(secret)) << qPrintable(line);
    }
}
