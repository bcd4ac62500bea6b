#include "fakes/FakeSpeedTest.h"

#include "HttpFetch.h"

#include <QUuid>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using sendra::fakes::FakeSpeedTest;
using sendra::fakes::Reply;
using sendra::testkit::fetch;
using Step = FakeSpeedTest::Step;

namespace {

class FakeSpeedTestTest : public ::testing::Test
{
protected:
    QNetworkAccessManager manager;
    FakeSpeedTest service;

    sendra::testkit::Fetched down(const std::string& bytes)
    {
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        return fetch(manager, QNetworkRequest(service.url("/__down?bytes=" + bytes + "&r=" + uuid.toStdString())));
    }
    sendra::testkit::Fetched up(const QByteArray& body)
    {
        return fetch(manager, QNetworkRequest(service.url("/__up")), "POST", body);
    }
};

} // namespace

TEST_F(FakeSpeedTestTest, ServesTheThreeStepsAndRecordsEach)
{
    const auto latency = down("1");
    EXPECT_EQ(latency.status, 200);
    EXPECT_EQ(latency.body.size(), 1);
    const auto download = down("3000000");
    EXPECT_EQ(download.status, 200);
    EXPECT_EQ(download.body, QByteArray(3'000'000, '\0'));
    const auto upload = up(QByteArray(2'000'000, '\0'));
    EXPECT_EQ(upload.status, 200);
    EXPECT_TRUE(upload.body.isEmpty());

    ASSERT_EQ(service.requestsFor(Step::latency).size(), 1u);
    EXPECT_TRUE(service.requestsFor(Step::latency)[0].queryValue("r").has_value());
    ASSERT_EQ(service.requestsFor(Step::download).size(), 1u);
    ASSERT_EQ(service.requestsFor(Step::upload).size(), 1u);
    EXPECT_EQ(service.requestsFor(Step::upload)[0].body, std::string(2'000'000, '\0'));

    // A byte count that is missing, signed, not decimal or too big is refused, never served.
    for (const std::string bytes : {"", "-1", "+5", "1e6", "0x10", "67108865", "99999999999999999999"}) {
        SCOPED_TRACE(bytes);
        const auto refused = down(bytes);
        EXPECT_EQ(refused.status, 400);
        EXPECT_LT(refused.body.size(), 100);
    }
    EXPECT_EQ(fetch(manager, QNetworkRequest(service.url("/__down"))).status, 400);
}

TEST_F(FakeSpeedTestTest, ShapesOneStepWithoutTouchingTheOthers)
{
    service.setBehaviour(Step::download, {.bodyLimit = 1'500'000});
    service.setBehaviour(Step::latency, {.status = 404});
    service.setBehaviour(Step::upload, {.delay = 300ms});

    const auto shortDownload = down("3000000");
    EXPECT_EQ(shortDownload.status, 200);
    EXPECT_EQ(shortDownload.body.size(), 1'500'000);
    const auto missing = down("1");
    EXPECT_EQ(missing.status, 404);
    const auto slow = up(QByteArray(1000, '\0'));
    EXPECT_EQ(slow.status, 200);
    EXPECT_GE(slow.elapsed, 300ms);

    service.setBehaviour(Step::latency, {.mode = Reply::Mode::Drop});
    const auto dropped = down("1");
    EXPECT_EQ(dropped.status, 0);
    EXPECT_NE(dropped.error, QNetworkReply::NoError);
    EXPECT_EQ(down("10").status, 200);
}
