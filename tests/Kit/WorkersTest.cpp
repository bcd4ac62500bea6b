#include "NetKit/BodyDecoder.h"
#include "NetKit/Workers.h"
#include "NetKit/WorkersTesting.h"

#include "fakes/Compressed.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace netkit;
using namespace std::chrono_literals;

namespace {

struct PieceFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Runs a pass of `count` pieces where `failing` throws; checks that every piece ran once (or was skipped after the
// failure) and that none was still running when the pass returned.
void checkPass(WorkerPool& pool, size_t count, std::optional<size_t> failing)
{
    std::vector<std::atomic<int>> ran(count);
    std::atomic<int> running{0};
    std::atomic<bool> returned{false};
    std::atomic<bool> ranAfterReturn{false};
    const auto pass = [&] {
        pool.forEach(count, [&](size_t piece) {
            ++running;
            if (returned)
                ranAfterReturn = true;
            std::this_thread::sleep_for(std::chrono::microseconds(piece % 7 * 50));
            ++ran[piece];
            --running;
            if (failing && piece == *failing)
                throw PieceFailed("piece " + std::to_string(piece));
        });
    };
    if (failing) {
        try {
            pass();
            ADD_FAILURE() << "the failure did not reach the caller";
        } catch (const PieceFailed& failure) {
            EXPECT_EQ(std::string(failure.what()), "piece " + std::to_string(*failing));
        }
    } else {
        pass();
    }
    returned = true;
    EXPECT_EQ(running.load(), 0) << "a piece was still running when the pass returned";
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(ranAfterReturn.load());
    for (size_t piece = 0; piece < count; ++piece) {
        if (failing)
            EXPECT_LE(ran[piece].load(), 1) << piece;
        else
            EXPECT_EQ(ran[piece].load(), 1) << piece;
    }
}

} // namespace

// Passes run every piece once, on the pool's threads and the caller's, and the first failure reaches the caller.
// Under a thread limit (no thread can start) the same passes and jobs run on the caller: nothing aborts.
TEST(Workers, PassesAndJobsRunWhetherThreadsStartOrNot)
{
    WorkerPool pool("test", 4);
    for (const bool failStarts : {false, true}) {
        SCOPED_TRACE(failStarts ? "no thread can start" : "threads start");
        failThreadStartsForTests(failStarts);
        for (size_t count : {size_t(1), size_t(2), size_t(9), size_t(300)}) {
            checkPass(pool, count, std::nullopt);
            checkPass(pool, count, count / 2);
        }
        EXPECT_EQ(pool.threadCount(), failStarts ? 0U : 4U);

        // A job nobody can take is refused, never lost: run() does it here.
        std::atomic<bool> done{false};
        const bool queued = pool.start([&] { done = true; });
        EXPECT_EQ(queued, !failStarts);
        EXPECT_TRUE(QTest::qWaitFor([&] { return done || !queued; }, 5000));
        const auto caller = std::this_thread::get_id();
        std::thread::id ranOn;
        std::atomic<bool> ran{false};
        pool.run([&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return ran.load(); }, 5000));
        EXPECT_EQ(ranOn == caller, failStarts);
        // A throwing job is logged and dropped, wherever it runs.
        pool.run([] { throw PieceFailed("job"); });

        // The next round starts without threads.
        endIdleThreadsForTests();
    }
    failThreadStartsForTests(false);

    // Some threads start, then no more: the pass goes on with those it has.
    pool.forEach(2, [](size_t) { std::this_thread::sleep_for(20ms); });
    const unsigned started = pool.threadCount();
    EXPECT_GE(started, 1U);
    failThreadStartsForTests(true);
    checkPass(pool, 100, std::nullopt);
    checkPass(pool, 100, 17);
    EXPECT_EQ(pool.threadCount(), started);
    failThreadStartsForTests(false);
}

// A decoder stopped while its worker is busy never calls back once stop() has returned: neither for a body that turns
// out corrupt in the piece it is decoding, nor for one that ends, nor for one stopped anywhere else.
TEST(Workers, AStoppedDecoderNeverCallsBack)
{
    std::string text;
    for (int64_t i = 0; text.size() < 3'000'000; ++i)
        text += "#EXTINF:-1 tvg-name=\"Canal " + std::to_string(i * 7919 % 100003) + "\",Canal " + std::to_string(i) +
                "\nhttp://cdn.test/" + std::to_string(i * 104729 % 1000003) + "\n";
    const QByteArray large = QByteArray::fromStdString(sendra::fakes::compressed(text));
    // Corrupt where the second piece comes from: the worker meets it while the first wake-up is answered.
    QByteArray corrupt = large;
    const qsizetype at = large.size() * 380 / 3000;
    for (qsizetype i = at; i < at + 64; ++i)
        corrupt[i] = char(i * 37);
    const QByteArray small = QByteArray::fromStdString(sendra::fakes::compressed("#EXTM3U\n"));
    struct Calls {
        std::atomic<bool> stopped{false};
        std::atomic<int> before{0};
        std::atomic<int> after{0};
    };
    std::vector<std::shared_ptr<Calls>> trials;
    for (int trial = 0; trial < 120; ++trial) {
        auto calls = std::make_shared<Calls>();
        trials.push_back(calls);
        auto decoder =
            BodyDecoder::create(ContentCoding::Gzip, [calls] { ++(calls->stopped ? calls->after : calls->before); });
        decoder->push(trial % 3 == 2 ? small : trial % 3 == 1 ? large : corrupt);
        decoder->endInput();
        // Stopped as soon as the worker is busy: it has called back once, and decodes on.
        if (trial % 3 != 2 || trial % 2 == 0) {
            QElapsedTimer waited;
            waited.start();
            while (calls->before == 0 && waited.elapsed() < 5000)
                std::this_thread::yield();
        }
        decoder->stop();
        calls->stopped = true;
    }
    QTest::qWait(300);
    for (size_t trial = 0; trial < trials.size(); ++trial)
        EXPECT_EQ(trials[trial]->after.load(), 0) << "trial " << trial;
}

// The application quits while workers are busy: one in a long step that never looks at the stop flag, one that does
// look. The process ends within a second of its end of main(), with what it saved on disk.
// The test runs itself as a child process, so a process that never ends fails it instead of hanging it.
TEST(WorkersQuitTest, QuittingEndsTheProcessWhateverAWorkerIsDoing)
{
    if (qEnvironmentVariableIsSet("SENDRA_QUIT_WITH_BUSY_WORKERS")) {
        const bool deaf = qEnvironmentVariable("SENDRA_QUIT_WITH_BUSY_WORKERS") == "deaf";
        std::atomic<int> started{0};
        if (deaf) {
            backgroundPool().run([&] {
                ++started;
                std::this_thread::sleep_for(20s);
            });
        }
        decodingPool().run([&] {
            ++started;
            while (!workersStopping())
                std::this_thread::sleep_for(1ms);
        });
        while (started < (deaf ? 2 : 1))
            std::this_thread::sleep_for(1ms);
        {
            QSettings settings(qEnvironmentVariable("SENDRA_QUIT_SETTINGS"), QSettings::IniFormat);
            settings.setValue("saved", 42);
        }
        std::puts("leaving main");
        std::fflush(stdout);
        const int code = leaveProcess(3);
        // As at the end of main(), the application object goes next (the test's main never returns to destroy it).
        QCoreApplication::instance()->~QCoreApplication();
        std::exit(code);
    }
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const char* workers : {"deaf", "listening"}) {
        SCOPED_TRACE(workers);
        const QString settings = folder.filePath(QString::fromLatin1(workers) + ".ini");
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SENDRA_QUIT_WITH_BUSY_WORKERS", workers);
        environment.insert("SENDRA_QUIT_SETTINGS", settings);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=WorkersQuitTest.QuittingEndsTheProcessWhateverAWorkerIsDoing"});
        ASSERT_TRUE(child.waitForStarted(10'000));
        QByteArray output;
        while (!output.contains("leaving main") && child.waitForReadyRead(15'000))
            output += child.readAll();
        ASSERT_TRUE(output.contains("leaving main")) << output.toStdString();
        QElapsedTimer elapsed;
        elapsed.start();
        const bool ended = child.state() == QProcess::NotRunning || child.waitForFinished(15'000);
        if (!ended) {
            child.kill();
            child.waitForFinished(5'000);
        }
        ASSERT_TRUE(ended) << "the process did not end after quitting";
        // Within the bound of 0.8 s, with room for a loaded machine; the busy workers would hold it for 20 s.
        EXPECT_LT(elapsed.elapsed(), 2'500);
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 3);
        EXPECT_EQ(QSettings(settings, QSettings::IniFormat).value("saved").toInt(), 42);
    }
}
