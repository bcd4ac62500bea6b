// The network check against the loopback speed-test service, timed by a scripted clock.
#include "TestDeck.h"

#include "State/CommandDeck.h"
#include "State/NetworkCheck.h"
#include "Storage/CommandVault.h"
#include "fakes/FakeSpeedTest.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <deque>

using namespace sendra;
using namespace std::chrono_literals;
using fakes::FakeSpeedTest;
using Step = FakeSpeedTest::Step;

namespace {

class NetworkCheckTest : public ::testing::Test, protected sendra::testing::TestVault
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        vault = newVault();
        deck = std::make_unique<CommandDeck>(*vault);
        // Each read of the clock takes the next time; requests are timed between two reads.
        const NetworkCheck::Clock clock = [this] {
            const std::chrono::nanoseconds next = times.empty() ? 0ns : times.front();
            if (!times.empty())
                times.pop_front();
            return next;
        };
        deck->setNetworkCheck(std::make_shared<NetworkCheck>(netkit::HttpSession(&manager), service.baseUrl(),
                                                             NetworkCheck::Timeouts{300ms, 300ms, 300ms}, clock));
    }

    // Waits in a real event loop: QTest::qWaitFor sleeps between rounds, and Qt uploads in many small rounds.
    void waitForTheEnd()
    {
        QSignalSpy running(deck.get(), &CommandDeck::networkCheckRunningChanged);
        while (deck->networkCheckRunning())
            ASSERT_TRUE(running.wait(5000)) << "the check is still running";
    }

    void runCheck()
    {
        deck->runNetworkCheck();
        waitForTheEnd();
    }

    FakeSpeedTest service;
    std::unique_ptr<CommandVault> vault;
    QNetworkAccessManager manager;
    std::deque<std::chrono::nanoseconds> times;
    std::unique_ptr<CommandDeck> deck;
};

} // namespace

TEST_F(NetworkCheckTest, EachSpeedFollowsItsFormula)
{
    // 37.9 ms; 3,000,000 bytes in 0.5 s; 16 megabits in 2 s.
    times = {0ns, 37'900us, 100ms, 600ms, 1s, 3s};
    QSignalSpy latency(deck.get(), &CommandDeck::networkLatencyChanged);
    runCheck();
    EXPECT_EQ(deck->networkLatency(), 37);
    EXPECT_DOUBLE_EQ(deck->networkDownload(), 48.0);
    EXPECT_DOUBLE_EQ(deck->networkUpload(), 8.0);
    EXPECT_EQ(latency.size(), 2) << "reset, then measured";

    // The bytes that arrived count, not the ones asked for; below a millisecond counts as one.
    service.setBehaviour(Step::download, {200, 0ms, fakes::Reply::Mode::Answer, 1'500'000});
    times = {0ns, 0ns, 0ns, 500ms, 0ns, 10us};
    runCheck();
    EXPECT_EQ(deck->networkLatency(), 0);
    EXPECT_DOUBLE_EQ(deck->networkDownload(), 24.0);
    EXPECT_DOUBLE_EQ(deck->networkUpload(), 16'000.0);

    const auto latencyProbe = service.requestsFor(Step::latency).back();
    EXPECT_EQ(latencyProbe.queryValue("bytes"), "1");
    const std::string nonce = latencyProbe.queryValue("r").value_or("");
    EXPECT_EQ(QUuid::fromString(QString::fromStdString(nonce)).toString(QUuid::WithoutBraces).toUpper().toStdString(),
              nonce) << "a fresh upper-case UUID";
    EXPECT_NE(service.requestsFor(Step::latency).front().queryValue("r"), nonce);
    EXPECT_EQ(service.requestsFor(Step::download).back().queryValue("bytes"), "3000000");
    const std::string body = service.requestsFor(Step::upload).back().body;
    EXPECT_EQ(body, std::string(2'000'000, '\0'));
}

TEST_F(NetworkCheckTest, AFailedStepEndsTheCheckWithLatencyMinusOne)
{
    // An error page is no measurement.
    service.setBehaviour(Step::upload, {500});
    times = {0ns, 20ms, 0ns, 1s};
    runCheck();
    EXPECT_EQ(deck->networkLatency(), -1);
    EXPECT_DOUBLE_EQ(deck->networkDownload(), 24.0) << "the measured download stays";
    EXPECT_DOUBLE_EQ(deck->networkUpload(), 0);

    service.setBehaviour(Step::upload, {});
    service.setBehaviour(Step::latency, {404});
    runCheck();
    EXPECT_EQ(deck->networkLatency(), -1);
    EXPECT_DOUBLE_EQ(deck->networkDownload(), 0);
    EXPECT_EQ(service.requestsFor(Step::download).size(), 1u) << "nothing after the failed step";

    // A service that stops answering times out; a second press meanwhile starts nothing.
    service.setBehaviour(Step::latency, {200, 0ms, fakes::Reply::Mode::HangAfterHeaders});
    deck->runNetworkCheck();
    deck->runNetworkCheck();
    waitForTheEnd();
    EXPECT_EQ(deck->networkLatency(), -1);
    EXPECT_EQ(service.requestsFor(Step::latency).size(), 3u);
    service.release();
}

TEST_F(NetworkCheckTest, ADeckBuiltOverASessionMeasuresAgainstTheConfiguredService)
{
    qputenv("SENDRA_SPEEDTEST_BASE", service.baseUrl().toEncoded());
    deck = std::make_unique<CommandDeck>(*vault, CommandDeck::Clients::over(netkit::HttpSession(&manager)));
    qunsetenv("SENDRA_SPEEDTEST_BASE");
    runCheck();
    EXPECT_GE(deck->networkLatency(), 0);
    EXPECT_GT(deck->networkDownload(), 0);
    EXPECT_GT(deck->networkUpload(), 0);
    EXPECT_EQ(service.requestsFor(Step::upload).size(), 1u);
}
