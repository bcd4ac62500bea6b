#include "DemoServices.h"

#include "HttpFetch.h"
#include "fakes/SyncWait.h"

#include "Domain/CommandError.h"
#include "Networking/PanelAccess.h"
#include "Networking/Playlist/PlaylistIngestor.h"
#include "Networking/XtreamTransport.h"
#include "State/CatalogSnapshot.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>
#include <map>

using namespace sendra;
using sendra::demo::DemoAccounts;
using sendra::demo::DemoOptions;
using sendra::demo::DemoServices;
using sendra::testing::syncWait;
using sendra::testkit::fetch;

namespace {

constexpr int entries = 40;

DemoOptions smallDemo()
{
    DemoOptions options;
    options.entries = entries;
    options.portBase = 0;
    options.seed = 7;
    return options;
}

std::optional<CommandError> failureOf(QCoro::Task<void> task)
{
    try {
        syncWait(std::move(task));
    } catch (const CommandFailure& failure) {
        return failure.error();
    }
    return std::nullopt;
}

QString readUntil(QProcess& process, const QString& marker)
{
    QString output;
    while (!output.contains(marker) && process.waitForReadyRead(30000))
        output += QString::fromUtf8(process.readAllStandardOutput());
    return output;
}

// An artwork answer: a picture of `size` that the application's disk cache can keep and revalidate.
void expectPicture(QNetworkAccessManager& manager, const QUrl& address, QSize size, const char* type)
{
    SCOPED_TRACE(address.toString().toStdString());
    const auto picture = fetch(manager, QNetworkRequest(address));
    ASSERT_EQ(picture.status, 200);
    EXPECT_EQ(picture.header("Content-Type"), type);
    EXPECT_EQ(picture.header("Content-Length").toLongLong(), picture.body.size());
    EXPECT_FALSE(picture.header("Cache-Control").isEmpty());
    EXPECT_FALSE(picture.header("Last-Modified").isEmpty());
    ASSERT_FALSE(picture.header("ETag").isEmpty());
    const QImage image = QImage::fromData(picture.body);
    EXPECT_EQ(image.size(), size);
    EXPECT_GT(image.pixelColor(size.width() / 2, size.height() / 2).alpha(), 0);

    QNetworkRequest again(address);
    again.setRawHeader("If-None-Match", picture.header("ETag"));
    EXPECT_EQ(fetch(manager, again).status, 304);
}

// The first picture address of an entry of that kind, on `host` when given, neither missing nor slow.
QUrl firstPicture(const NodeTable& nodes, SignalKind kind, const QUrl& host = {})
{
    for (const MediaNode& node : nodes) {
        const QUrl picture = node.artwork ? node.artwork->url() : QUrl();
        if (node.kind != kind || picture.isEmpty() || picture.path().contains("/missing/")
            || picture.path().contains("/slow/"))
            continue;
        if (host.isEmpty() || picture.port() == host.port())
            return picture;
    }
    return {};
}

// What each road shows in the library: the groups of the visible entries, per kind, by name.
std::map<std::pair<int, QString>, int> groupNames(const std::shared_ptr<const CatalogSnapshot>& snapshot)
{
    std::map<std::pair<int, QString>, int> names;
    for (const MediaGroup& group : snapshot->groups())
        ++names[{int(group.kind), group.name}];
    return names;
}

bool showsGroup(const std::shared_ptr<const CatalogSnapshot>& snapshot, const QString& name)
{
    return std::any_of(snapshot->groups().begin(), snapshot->groups().end(),
                       [&](const MediaGroup& group) { return group.name == name; });
}

bool showsTitleWith(const std::shared_ptr<const CatalogSnapshot>& snapshot, const QString& text)
{
    const CatalogEntries& entries = snapshot->entries();
    for (uint32_t p = 0; p < entries.size(); ++p) {
        if (snapshot->isVisible(p) && NodeTable::text(entries.title(p)).contains(text))
            return true;
    }
    return false;
}

} // namespace

// The application's own clients against the demo: every answer must be one the application accepts.
TEST(DemoServices, AnswerTheApplicationsClientsAndStopCleanly)
{
    QNetworkAccessManager manager;
    const netkit::HttpSession session(&manager);
    auto services = std::make_unique<DemoServices>(smallDemo());
    const int total = services->catalog().total();
    ASSERT_EQ(total, entries);

    const PanelAccess platform(session, PlatformEndpoints{services->platformBase(), services->platformBase()});
    const BrandResolution free = syncWait(platform.resolve(services->freePanel(), false, {}));
    EXPECT_TRUE(free.rules.acceptsAnyOrigin);
    EXPECT_TRUE(syncWait(platform.resolve(services->playlist(), true, {})).rules.acceptsAnyOrigin);

    const BrandPresentation product = ProductBrand::presentation(DesktopProductBrand::brimvale);
    const BrandResolution brand =
        syncWait(platform.resolve(" " + DemoAccounts::privateIdentifier(DesktopProductBrand::brimvale).toUpper(), {}));
    EXPECT_EQ(brand.brand.slug, product.slug);
    EXPECT_TRUE(brand.brand.privateAccess);
    ASSERT_EQ(brand.rules.origins.size(), 3);
    EXPECT_FALSE(brand.rules.origins[0].enabled);
    EXPECT_EQ(brand.rules.origins[1].url, services->freePanel());
    EXPECT_EQ(brand.rules.origins[2].url, services->privatePanel());
    EXPECT_EQ(failureOf(platform.validatePrivateAccess(brand.brand, DemoAccounts::privateUser, "1357", {})),
              CommandError::invalidAccessCode);
    EXPECT_EQ(failureOf(platform.validatePrivateAccess(brand.brand, DemoAccounts::privateUser,
                                                       DemoAccounts::accessCode, {})),
              std::nullopt);
    const LoadedCatalog prepared =
        syncWait(platform.preparedCatalog(product.slug, 3, services->privatePanel(), false, {}));
    EXPECT_EQ(prepared.nodes.size(), total);
    ASSERT_TRUE(prepared.feed.has_value());
    EXPECT_EQ(prepared.feed->lanes.size(), 3);

    const XtreamTransport transport(session);
    const auto freeAccount = ProviderSession::create(services->freePanel(), DemoAccounts::freeUser,
                                                     DemoAccounts::freePassword);
    const auto privateAccount = ProviderSession::create(services->privatePanel(), DemoAccounts::privateUser,
                                                        DemoAccounts::privatePassword);
    EXPECT_EQ(failureOf(transport.authenticate(freeAccount, {})), std::nullopt);
    // The private brand's scan relies on the free panel refusing the private account.
    EXPECT_EQ(failureOf(transport.authenticate(
                  ProviderSession::create(services->freePanel(), DemoAccounts::privateUser,
                                          DemoAccounts::privatePassword),
                  {})),
              CommandError::invalidCredentials);
    const NodeTable universe = syncWait(transport.universe(privateAccount, {}));
    EXPECT_EQ(universe.size(), total);

    const PlaylistIngestor ingestor(session);
    EXPECT_EQ(syncWait(ingestor.download(services->playlist(), {})).size(), total);

    // A film's stream address, with the "+" of the password encoded, plays a clip with byte ranges.
    const auto film = std::find_if(universe.begin(), universe.end(),
                                   [](const MediaNode& node) { return node.kind == SignalKind::cinema; });
    ASSERT_NE(film, universe.end());
    const std::optional<PlaybackTicket> ticket = transport.immediateStream(*film, privateAccount);
    ASSERT_TRUE(ticket.has_value());
    QNetworkRequest range(ticket->stream);
    range.setRawHeader("Range", "bytes=4-99");
    const auto clip = fetch(manager, range);
    EXPECT_EQ(clip.status, 206);
    EXPECT_EQ(clip.body.size(), 96);
    EXPECT_EQ(clip.body.left(4), "ftyp"); // the mp4's first box starts at byte 4
    EXPECT_TRUE(clip.header("Content-Range").startsWith("bytes 4-99/"));
    QUrl wrongPassword = ticket->stream;
    wrongPassword.setPath(wrongPassword.path().replace("clave", "llave"));
    EXPECT_EQ(fetch(manager, QNetworkRequest(wrongPassword)).status, 403);

    const QUrl latency(services->speedTestBase().toString() + "/__down?bytes=1&r="
                       + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    const auto probe = fetch(manager, QNetworkRequest(latency));
    EXPECT_EQ(probe.status, 200);
    EXPECT_EQ(probe.body.size(), 1);

    services.reset();
    EXPECT_EQ(fetch(manager, QNetworkRequest(latency)).error, QNetworkReply::ConnectionRefusedError);
}

// A terminal's Ctrl-C reaches the whole group and the run script then sends TERM: either order, while a big
// catalogue is still being built and once the services answer, must end the program at once, leaving no clip
// folder behind.
TEST(DemoServices, ProgramPrintsWhatToTypeAndStopsOnEitherSignalAtAnyMoment)
{
    struct Case {
        int first;
        int second;
        bool ready; // else still building a big catalogue
    };
    for (const Case& stop : {Case{SIGINT, SIGTERM, false}, Case{SIGTERM, SIGINT, false}, Case{SIGINT, SIGTERM, true},
                             Case{SIGTERM, SIGINT, true}}) {
        SCOPED_TRACE(std::to_string(stop.first) + " then " + std::to_string(stop.second) +
                     (stop.ready ? " when ready" : " during start-up"));
        const QTemporaryDir temporary;
        ASSERT_TRUE(temporary.isValid());
        QProcess demo;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", temporary.path());
        demo.setProcessEnvironment(environment);
        demo.start(SENDRA_DEMO_SERVICES_PROGRAM, {"--entries", stop.ready ? "30" : "600000", "--port-base", "0"});
        if (stop.ready) {
            const QString printed = readUntil(demo, "Speed test");
            for (const QString expected :
                 {"export SENDRA_PLATFORM_ACCESS_BASE=http://127.0.0.1:",
                  "export SENDRA_PLATFORM_CATALOG_BASE=http://127.0.0.1:",
                  "export SENDRA_SPEEDTEST_BASE=http://127.0.0.1:", "orrinth-demo", "brimvale-demo",
                  "Access code  2468", "Password     clave+2024", "/lists/demo.m3u"})
                EXPECT_TRUE(printed.contains(expected)) << qPrintable(expected) << "\n" << qPrintable(printed);
        } else {
            // Inside the clips' making for one order, inside the catalogue's for the other.
            ASSERT_TRUE(demo.waitForStarted(10000));
            QTest::qWait(stop.first == SIGINT ? 300 : 2500);
        }
        ASSERT_EQ(demo.state(), QProcess::Running);
        // Taken once: once the program ended, processId() reads 0, and kill(0) would stop this test's own group.
        const pid_t pid = pid_t(demo.processId());
        ASSERT_GT(pid, 0);
        QElapsedTimer stopping;
        stopping.start();
        ::kill(pid, stop.first);
        QTest::qWait(20);
        ::kill(pid, stop.second);
        ASSERT_TRUE(demo.state() == QProcess::NotRunning || demo.waitForFinished(10000));
        // A second is what a person waits for; a loaded machine gets some slack, a program deaf to both gets none.
        EXPECT_LT(stopping.elapsed(), 3000);
        EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit) << "killed by the second signal";
        if (stop.ready) {
            EXPECT_EQ(demo.exitCode(), 0);
        }
        EXPECT_EQ(QDir(temporary.path()).entryList({"sendra-demo-services-*"}, QDir::AllEntries), QStringList{});
    }
}

TEST(DemoServices, ProgramRefusesATakenPortAndBadOptions)
{
    const fakes::LoopbackServer squatter;
    QProcess demo;
    demo.start(SENDRA_DEMO_SERVICES_PROGRAM, {"--entries", "10", "--port-base", QString::number(squatter.port())});
    ASSERT_TRUE(demo.waitForFinished(30000));
    EXPECT_EQ(demo.exitCode(), 1);
    EXPECT_TRUE(demo.readAllStandardError().contains("is in use"));

    for (const QStringList& arguments : {QStringList{"--entries", "0"}, QStringList{"--port-base", "70000"},
                                         QStringList{"--seed", "x"}}) {
        demo.start(SENDRA_DEMO_SERVICES_PROGRAM, arguments);
        ASSERT_TRUE(demo.waitForFinished(10000));
        EXPECT_EQ(demo.exitCode(), 2) << qPrintable(arguments.join(' '));
    }

    demo.start(SENDRA_DEMO_SERVICES_PROGRAM, {"--print-env", "--port-base", "9000"});
    ASSERT_TRUE(demo.waitForFinished(10000));
    EXPECT_EQ(demo.readAllStandardOutput(), "export SENDRA_PLATFORM_ACCESS_BASE=http://127.0.0.1:9000\n"
                                            "export SENDRA_PLATFORM_CATALOG_BASE=http://127.0.0.1:9000\n"
                                            "export SENDRA_SPEEDTEST_BASE=http://127.0.0.1:9004\n");
}

// Every kind of picture the application asks the demo for, found where the application finds it.
TEST(DemoServices, DrawArtworkForEveryRoadWithCachingHeaders)
{
    QNetworkAccessManager manager;
    const netkit::HttpSession session(&manager);
    DemoOptions options = smallDemo();
    options.entries = 300;
    const DemoServices services(options);
    const QSize poster(480, 720);
    const QSize logo(400, 400);

    const XtreamTransport transport(session);
    const NodeTable panel = syncWait(transport.universe(
        ProviderSession::create(services.freePanel(), DemoAccounts::freeUser, DemoAccounts::freePassword), {}));
    expectPicture(manager, firstPicture(panel, SignalKind::broadcast), logo, "image/png");
    expectPicture(manager, firstPicture(panel, SignalKind::cinema), poster, "image/jpeg");
    expectPicture(manager, firstPicture(panel, SignalKind::episodic), poster, "image/jpeg");
    // A panel's relative address resolves to the panel itself, which draws it too.
    expectPicture(manager, firstPicture(panel, SignalKind::cinema, services.freePanel()), poster, "image/jpeg");
    const auto missing = std::find_if(panel.begin(), panel.end(), [](const MediaNode& node) {
        return node.artwork && node.artwork->url().path().contains("/missing/");
    });
    ASSERT_NE(missing, panel.end());
    EXPECT_EQ(fetch(manager, QNetworkRequest((*missing).artwork->url())).status, 404);

    const NodeTable playlist = syncWait(PlaylistIngestor(session).download(services.playlist(), {}));
    expectPicture(manager, firstPicture(playlist, SignalKind::broadcast), logo, "image/png");

    const PanelAccess platform(session, PlatformEndpoints{services.platformBase(), services.platformBase()});
    const BrandResolution brand =
        syncWait(platform.resolve(DemoAccounts::privateIdentifier(DesktopProductBrand::orrinth), {}));
    ASSERT_TRUE(brand.brand.logoURL && brand.brand.isotypeURL);
    expectPicture(manager, *brand.brand.logoURL, QSize(720, 240), "image/png");
    expectPicture(manager, *brand.brand.isotypeURL, QSize(256, 256), "image/png");
    const LoadedCatalog prepared = syncWait(platform.preparedCatalog(
        ProductBrand::presentation(DesktopProductBrand::orrinth).slug, 3, services.privatePanel(), false, {}));
    ASSERT_TRUE(prepared.feed && prepared.feed->spotlight && prepared.feed->spotlight->artwork);
    expectPicture(manager, *prepared.feed->spotlight->artwork, QSize(1280, 720), "image/jpeg");
    expectPicture(manager, firstPicture(prepared.nodes, SignalKind::episodic), poster, "image/jpeg");
}

// Each road's catalogue as the library shows it: one name per category of a kind, a few names shared across
// kinds, and adult or blocked categories and titles there with the protection off and gone with it on.
TEST(DemoServices, CatalogueHasDistinctCategoriesAndProtectedContentOnEveryRoad)
{
    using testkit::PanelKind;
    QNetworkAccessManager manager;
    const netkit::HttpSession session(&manager);
    DemoOptions options = smallDemo();
    options.entries = 3000;
    const DemoServices services(options);
    const testkit::CatalogGenerator& generator = services.catalog().generator();
    const QStringList adult{generator.categoryName(PanelKind::Live, 47), generator.categoryName(PanelKind::Vod, 48),
                            generator.categoryName(PanelKind::Series, 47)};

    const XtreamTransport transport(session);
    const PanelAccess platform(session, PlatformEndpoints{services.platformBase(), services.platformBase()});
    const BrandResolution brand =
        syncWait(platform.resolve(DemoAccounts::privateIdentifier(DesktopProductBrand::brimvale), {}));
    ASSERT_EQ(brand.rules.origins.size(), 3);
    const QSet<QString> blocked = brand.rules.origins[2].blockedGroups;
    ASSERT_FALSE(blocked.isEmpty());
    const QString slug = ProductBrand::presentation(DesktopProductBrand::brimvale).slug;

    struct Road
    {
        const char* name;
        NodeTable nodes;
        QSet<QString> blocked;
    };
    std::vector<Road> roads;
    roads.push_back({"panel",
                     syncWait(transport.universe(ProviderSession::create(services.freePanel(), DemoAccounts::freeUser,
                                                                         DemoAccounts::freePassword),
                                                 {})),
                     {}});
    roads.push_back({"playlist", syncWait(PlaylistIngestor(session).download(services.playlist(), {})), {}});
    roads.push_back(
        {"private", syncWait(platform.preparedCatalog(slug, 3, services.privatePanel(), false, {})).nodes, blocked});

    // The private road files every entry where the panel does: the platform publishes the panel's categories.
    std::map<std::pair<int, QString>, QString> panelCategories;
    for (qsizetype i = 0; i < roads[0].nodes.size(); ++i)
        panelCategories[{int(roads[0].nodes.kind(i)), roads[0].nodes.id(i).toString()}] = roads[0].nodes.groupName(i);
    ASSERT_EQ(roads[2].nodes.size(), roads[0].nodes.size());
    int elsewhere = 0;
    for (qsizetype i = 0; i < roads[2].nodes.size(); ++i) {
        const QString name = roads[2].nodes.groupName(i);
        if (panelCategories[{int(roads[2].nodes.kind(i)), roads[2].nodes.id(i).toString()}] != name && ++elsewhere == 1)
            ADD_FAILURE() << qPrintable(roads[2].nodes.id(i).toString()) << " filed under " << qPrintable(name);
    }
    EXPECT_EQ(elsewhere, 0);

    for (Road& road : roads) {
        SCOPED_TRACE(road.name);
        const auto entries = CatalogEntries::prepare(std::move(road.nodes));
        const auto open = CatalogSnapshot::build(entries, road.blocked, false);
        const auto protectedView = CatalogSnapshot::build(entries, road.blocked, true);

        const auto names = groupNames(open);
        for (const auto& [key, count] : names)
            EXPECT_EQ(count, 1) << "kind " << key.first << ": " << qPrintable(key.second);
        int sharedKinds = 0;
        for (const int kind : {0, 1, 2})
            sharedKinds += names.count({kind, QStringLiteral("Deportes")});
        EXPECT_GE(sharedKinds, 2);

        for (const QString& name : adult) {
            EXPECT_TRUE(showsGroup(open, name)) << qPrintable(name);
            EXPECT_FALSE(showsGroup(protectedView, name)) << qPrintable(name);
        }
        EXPECT_TRUE(showsTitleWith(open, "(+18)"));
        EXPECT_FALSE(showsTitleWith(protectedView, "(+18)"));
        for (const QString& name : road.blocked) {
            EXPECT_TRUE(showsGroup(open, name)) << qPrintable(name);
            EXPECT_FALSE(showsGroup(protectedView, name)) << qPrintable(name);
        }
        EXPECT_LT(protectedView->positionsOfKind(SignalKind::cinema).size(),
                  open->positionsOfKind(SignalKind::cinema).size());
    }

    // The platform's protected build leaves the same material out before the application filters anything.
    const LoadedCatalog safe = syncWait(platform.preparedCatalog(slug, 3, services.privatePanel(), true, {}));
    for (const MediaNode& node : safe.nodes) {
        EXPECT_FALSE(adult.contains(node.groupName) || blocked.contains(node.groupName)) << qPrintable(node.title);
        EXPECT_FALSE(node.title.contains("(+18)")) << qPrintable(node.title);
    }
}

// A kept demo profile names the services' ports: started again at once, after answering requests (the server
// closes those connections, so they linger in TIME_WAIT), the services must get the same ports back.
TEST(DemoServices, StartAgainAtOnceOnTheSamePorts)
{
    QNetworkAccessManager manager;
    DemoOptions options = smallDemo();
    {
        const fakes::LoopbackServer probe; // an ephemeral port, most likely with free neighbours
        options.portBase = std::min(probe.port(), 65535 - 4);
    }
    auto services = std::make_unique<DemoServices>(options);
    const QUrl playlist = services->playlist();
    EXPECT_EQ(playlist.port(), options.portBase + 3);
    ASSERT_EQ(fetch(manager, QNetworkRequest(playlist)).status, 200);
    services.reset();

    services = std::make_unique<DemoServices>(options);
    EXPECT_EQ(fetch(manager, QNetworkRequest(services->playlist())).status, 200);
}
