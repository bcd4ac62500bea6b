#include "NetKit/CancelToken.h"
#include "NetKit/Join.h"
#include "NetKit/Sleep.h"
#include "NetKit/TaskSlot.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include "fakes/SyncWait.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace netkit;
using sendra::testing::syncWait;
using namespace std::chrono_literals;

namespace {

struct Failure : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// A child that sleeps, then returns `value` or throws; it records whether it ended by cancellation.
struct Child
{
    std::chrono::milliseconds wait;
    int value = 0;
    bool fail = false;
    std::shared_ptr<int> cancelled = std::make_shared<int>(0);
    std::shared_ptr<int> ended = std::make_shared<int>(0);

    QCoro::Task<int> operator()(CancelToken token) const
    {
        try {
            co_await sleepFor(wait, token);
        } catch (const Cancelled&) {
            ++*cancelled;
            ++*ended;
            throw;
        }
        ++*ended;
        if (fail)
            throw Failure("child " + std::to_string(value));
        co_return value;
    }
};

bool waitUntil(const std::function<bool()>& condition, int ms = 5000)
{
    return QTest::qWaitFor(condition, ms);
}

} // namespace

TEST(CancelToken, ChildrenFollowTheirParentAndCallbacksRunOnce)
{
    CancelToken root;
    CancelToken child = root.child();
    CancelToken grandchild = child.child();
    int calls = 0;
    int dropped = 0;
    CancelRegistration kept = grandchild.onCancel([&] { ++calls; });
    {
        CancelRegistration gone = grandchild.onCancel([&] { ++dropped; });
    }

    child.cancel();
    EXPECT_FALSE(root.isCancelled()) << "a child never cancels its parent";
    EXPECT_TRUE(grandchild.isCancelled());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(dropped, 0) << "a dropped registration must not fire";
    child.cancel();
    root.cancel();
    EXPECT_EQ(calls, 1) << "cancelling twice runs nothing twice";

    EXPECT_TRUE(root.child().isCancelled()) << "a child of a cancelled token is born cancelled";
    int late = 0;
    (void)root.onCancel([&] { ++late; });
    EXPECT_EQ(late, 1) << "registering on a cancelled token runs the callback at once";
    EXPECT_THROW(throwIfCancelled(root), Cancelled);
    EXPECT_NO_THROW(throwIfCancelled(CancelToken()));
}

TEST(CancelToken, CallbackMayTouchItsOwnTokenWhileCancelling)
{
    CancelToken token;
    std::optional<CancelRegistration> registration;
    int nested = 0;
    registration.emplace(token.onCancel([&] {
        registration.reset();                        // unregisters while the token is cancelling
        (void)token.onCancel([&] { ++nested; });     // and registers: runs at once
    }));
    token.cancel();
    EXPECT_EQ(nested, 1);
}

TEST(TaskSlot, StartingCancelsThePreviousTaskAndDestroyingCancelsTheRunningOne)
{
    auto slot = std::make_unique<TaskSlot>();
    EXPECT_FALSE(slot->isRunning());

    int firstOutcome = 0; // 1 finished, 2 cancelled
    int secondOutcome = 0;
    const auto body = [](int* outcome) {
        return [outcome](CancelToken token) -> QCoro::Task<void> {
            try {
                co_await sleepFor(10s, token);
                *outcome = 1;
            } catch (const Cancelled&) {
                *outcome = 2;
            }
        };
    };
    const CancelToken first = slot->start(body(&firstOutcome));
    EXPECT_TRUE(slot->isRunning());
    slot->start(body(&secondOutcome));
    EXPECT_TRUE(first.isCancelled());
    EXPECT_TRUE(waitUntil([&] { return firstOutcome == 2; }));
    EXPECT_TRUE(slot->isRunning());

    // The running task outlives its slot; it must end by cancellation without touching the slot.
    slot.reset();
    EXPECT_TRUE(waitUntil([&] { return secondOutcome == 2; }));
}

TEST(TaskSlot, FailureOfADetachedBodyIsContainedAndEndsTheRun)
{
    TaskSlot slot;
    slot.start([](CancelToken token) -> QCoro::Task<void> {
        co_await sleepFor(10ms, token);
        throw Failure("nobody awaits this");
    });
    EXPECT_TRUE(slot.isRunning());
    EXPECT_TRUE(waitUntil([&] { return !slot.isRunning(); }));

    // A body that ends without suspending is finished when start() returns.
    slot.start([](CancelToken) -> QCoro::Task<void> { co_return; });
    EXPECT_FALSE(slot.isRunning());

    CancelToken parent;
    TaskSlot linked(parent);
    const CancelToken token = linked.start([](CancelToken t) -> QCoro::Task<void> { co_await sleepFor(10s, t); });
    parent.cancel();
    EXPECT_TRUE(token.isCancelled());
    EXPECT_FALSE(linked.isRunning());
}

TEST(Join, ResultsComeBackInOrderWhateverTheFinishingOrder)
{
    std::vector<std::function<QCoro::Task<int>(CancelToken)>> children{
        Child{60ms, 1}, Child{5ms, 2}, Child{30ms, 3}};
    const auto values = syncWait(joinAll<int>(CancelToken(), std::move(children)));
    EXPECT_EQ(values, (std::vector<int>{1, 2, 3}));

    auto [number, text] = syncWait(joinAll(
        CancelToken(), Child{20ms, 7},
        [](CancelToken token) -> QCoro::Task<QString> {
            co_await sleepFor(1ms, token);
            co_return QStringLiteral("seven");
        }));
    EXPECT_EQ(number, 7);
    EXPECT_EQ(text, QStringLiteral("seven"));
}

TEST(Join, FirstFailureCancelsAndAwaitsTheSiblingsThenIsRethrown)
{
    Child slowA{10s, 1};
    Child failing{20ms, 2, true};
    Child slowB{10s, 3};
    Child failsLater{40ms, 4, true};
    std::vector<std::function<QCoro::Task<int>(CancelToken)>> children{slowA, failing, slowB, failsLater};

    bool threw = false;
    try {
        syncWait(joinAll<int>(CancelToken(), std::move(children)));
    } catch (const Failure& failure) {
        threw = true;
        EXPECT_STREQ(failure.what(), "child 2") << "the first failure in time wins, not a sibling's cancellation";
    }
    EXPECT_TRUE(threw);
    // Awaited: when the join fails, every sibling has already ended.
    EXPECT_EQ(*slowA.ended, 1);
    EXPECT_EQ(*slowA.cancelled, 1);
    EXPECT_EQ(*slowB.cancelled, 1);
    EXPECT_EQ(*failsLater.cancelled, 1);
}

TEST(Join, CancellingTheCallerEndsEveryChildWithCancelled)
{
    CancelToken caller;
    Child a{10s, 1};
    Child b{10s, 2};
    QTimer::singleShot(20, [caller] { caller.cancel(); });
    EXPECT_THROW(syncWait(joinAll(caller, a, b)), Cancelled);
    EXPECT_EQ(*a.cancelled + *b.cancelled, 2);

    // An already cancelled caller starts nothing.
    Child never{1ms, 3};
    EXPECT_THROW(syncWait(joinAll(caller, never)), Cancelled);
    EXPECT_EQ(*never.ended, 0);
}

TEST(Join, TaskDroppedWhileAwaitingTheJoinStillAwaitsItsChildren)
{
    // The owner of the awaiting task goes away while the join is pending: the coroutine keeps running to its end
    // (QCoro never destroys a suspended task), children included, and nothing it owns is used after free.
    CancelToken token;
    Child a{30ms, 1};
    Child b{10s, 2};
    auto finished = std::make_shared<bool>(false);
    {
        auto task = [](CancelToken t, Child x, Child y, std::shared_ptr<bool> done) -> QCoro::Task<void> {
            try {
                co_await joinAll(t, x, y);
            } catch (const Cancelled&) {
            }
            *done = true;
        }(token, a, b, finished);
    }
    EXPECT_TRUE(waitUntil([&] { return *a.ended == 1; }));
    EXPECT_FALSE(*finished);
    token.cancel();
    EXPECT_TRUE(waitUntil([&] { return *finished; }));
    EXPECT_EQ(*b.cancelled, 1);
}

TEST(Sleep, CancellationWakesASleeperWithoutResumingItInsideCancel)
{
    CancelToken token;
    bool cancelReturned = false;
    bool resumedInsideCancel = false;
    bool cancelled = false;
    [](CancelToken t, bool* returned, bool* inside, bool* done) -> QCoro::Task<void> {
        try {
            co_await sleepFor(10s, t);
        } catch (const Cancelled&) {
            *inside = !*returned;
            *done = true;
        }
    }(token, &cancelReturned, &resumedInsideCancel, &cancelled);
    token.cancel();
    cancelReturned = true;
    EXPECT_TRUE(waitUntil([&] { return cancelled; }));
    EXPECT_FALSE(resumedInsideCancel);
}
