#include "DemoServices.h"

#include "HttpFetch.h"
#include "fakes/SyncWait.h"

#include "Domain/CommandError.h"
#include "Networking/PanelAccess.h"
#include "Networking/PlaylistIngestor.h"
#include "Networking/XtreamTransport.h"

#include <QProcess>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>

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

TEST(DemoServices, ProgramPrintsWhatToTypeAndStopsOnSigterm)
{
    QProcess demo;
    demo.start(SENDRA_DEMO_SERVICES_PROGRAM, {"--entries", "30", "--port-base", "0"});
    const QString printed = readUntil(demo, "Speed test");
    for (const QString expected : {"export SENDRA_PLATFORM_ACCESS_BASE=http://127.0.0.1:",
                                   "export SENDRA_PLATFORM_CATALOG_BASE=http://127.0.0.1:",
                                   "export SENDRA_SPEEDTEST_BASE=http://127.0.0.1:", "orrinth-demo", "brimvale-demo",
                                   "Access code  2468", "Password     clave+2024", "/lists/demo.m3u"})
        EXPECT_TRUE(printed.contains(expected)) << qPrintable(expected) << "\n" << qPrintable(printed);
    ASSERT_EQ(demo.state(), QProcess::Running);
    ::kill(pid_t(demo.processId()), SIGTERM);
    ASSERT_TRUE(demo.waitForFinished(10000));
    EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(demo.exitCode(), 0);
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
