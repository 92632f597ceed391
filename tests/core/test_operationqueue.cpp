#include "Platform/OperationQueue.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace {

class FnOperation : public Operation
{
public:
    explicit FnOperation(std::function<void()> body) : m_body(std::move(body)) {}
    void main() override
    {
        ran = true;
        m_body();
    }
    std::atomic<bool> ran{false};

private:
    std::function<void()> m_body;
};

// Operations that hold their place until the test opens the gate; records
// how many run at once and the order in which they started.
struct Gate
{
    std::mutex mutex;
    std::condition_variable cv;
    int running = 0;
    int maxRunning = 0;
    bool open = false;
    std::vector<int> order;

    std::shared_ptr<FnOperation> op(int index)
    {
        return std::make_shared<FnOperation>([this, index] {
            std::unique_lock lock(mutex);
            order.push_back(index);
            maxRunning = std::max(maxRunning, ++running);
            cv.notify_all();
            cv.wait(lock, [this] { return open; });
            --running;
        });
    }
    // Waits (capped, so a broken build cannot hang) until `n` run at once.
    bool waitRunning(int n)
    {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(30), [&] { return running == n; });
    }
    void release()
    {
        std::lock_guard lock(mutex);
        open = true;
        cv.notify_all();
    }
};

bool pollUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(30000);
    while (!done() && !deadline.hasExpired())
        QThread::msleep(5);
    return done();
}

}  // namespace

TEST(OperationQueue, RunsInOrderOneAtATimeByDefaultAndForValuesBelowOne)
{
    for (int limit : {1, 0, -3}) {
        Gate gate;
        gate.open = true;
        OperationQueue queue;
        queue.setMaxConcurrentOperationCount(limit);
        EXPECT_EQ(queue.maxConcurrentOperationCount(), limit);
        std::vector<std::shared_ptr<FnOperation>> ops;
        for (int i = 0; i < 6; ++i) {
            ops.push_back(gate.op(i));
            queue.addOperation(ops.back());
        }
        queue.waitUntilAllOperationsAreFinished();
        EXPECT_EQ(gate.order, std::vector<int>({0, 1, 2, 3, 4, 5})) << limit;
        EXPECT_EQ(gate.maxRunning, 1) << limit;
        EXPECT_EQ(queue.operationCount(), 0);
        for (const auto& op : ops)
            EXPECT_TRUE(op->isFinished() && !op->isExecuting());
    }
}

TEST(OperationQueue, RunsUpToTheLimitAtOnceAndMoreWhenItIsRaised)
{
    Gate gate;
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(3);
    std::vector<std::shared_ptr<FnOperation>> ops;
    for (int i = 0; i < 5; ++i) {
        ops.push_back(gate.op(i));
        queue.addOperation(ops.back());
    }
    ASSERT_TRUE(gate.waitRunning(3));
    EXPECT_EQ(queue.operationCount(), 5) << "waiting and running";
    const auto listed = queue.operations();
    ASSERT_EQ(listed.size(), 5u);
    for (size_t i = 0; i < listed.size(); ++i)
        EXPECT_EQ(listed[i], ops[i]) << "in the order they were added";
    QThread::msleep(50);
    {
        std::lock_guard lock(gate.mutex);
        EXPECT_EQ(gate.maxRunning, 3);
    }
    EXPECT_FALSE(ops[3]->ran.load());

    queue.setMaxConcurrentOperationCount(5);
    ASSERT_TRUE(gate.waitRunning(5));
    gate.release();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(gate.maxRunning, 5);
    EXPECT_EQ(queue.operationCount(), 0);
}

TEST(OperationQueue, CancelledWhileWaitingNeverRunsButFinishesAtOnce)
{
    Gate gate;
    OperationQueue queue;
    auto running = gate.op(0);
    auto waiting = gate.op(1);
    auto later = gate.op(2);
    std::atomic<bool> completed{false};
    waiting->completionBlock = [&] { completed = true; };
    queue.addOperation(running);
    queue.addOperation(waiting);
    queue.addOperation(later);
    ASSERT_TRUE(gate.waitRunning(1));

    waiting->cancel();
    // It leaves the queue while the first one still holds the only place.
    ASSERT_TRUE(pollUntil([&] { return completed.load() && queue.operationCount() == 2; }));
    EXPECT_FALSE(waiting->ran.load());
    EXPECT_TRUE(waiting->isFinished());

    gate.release();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(later->ran.load());
    EXPECT_EQ(gate.order, std::vector<int>({0, 2}));
}

TEST(OperationQueue, CancelAllStopsWaitingOnesAndTellsRunningOnes)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(2);
    std::atomic<int> completions{0};
    std::vector<std::shared_ptr<FnOperation>> ops;
    std::atomic<int> started{0};
    for (int i = 0; i < 5; ++i) {
        auto op = std::make_shared<FnOperation>([&started, &ops, i] {
            ++started;
            // Runs until it is told to stop.
            pollUntil([&] { return ops[i]->isCancelled(); });
        });
        op->completionBlock = [&] { ++completions; };
        ops.push_back(op);
    }
    for (const auto& op : ops)
        queue.addOperation(op);
    ASSERT_TRUE(pollUntil([&] { return started.load() == 2; }));
    queue.cancelAllOperations();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(completions.load(), 5);
    EXPECT_TRUE(ops[0]->ran && ops[1]->ran);
    EXPECT_FALSE(ops[2]->ran || ops[3]->ran || ops[4]->ran);
}

TEST(OperationQueue, MainRunsOnAWorkerWithAnEventLoop)
{
    OperationQueue queue;
    std::atomic<bool> timerFired{false};
    std::atomic<QThread*> thread{nullptr};
    auto op = std::make_shared<FnOperation>([&] {
        thread = QThread::currentThread();
        QEventLoop loop;
        QTimer::singleShot(10, &loop, [&] {
            timerFired = true;
            loop.quit();
        });
        loop.exec();
    });
    queue.addOperation(op);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(timerFired.load());
    EXPECT_NE(thread.load(), QThread::currentThread());
}

TEST(OperationQueue, DestructionCancelsWaitingOnesAndWaitsForRunningOnes)
{
    std::atomic<bool> firstDone{false};
    std::atomic<bool> secondCompleted{false};
    std::atomic<bool> started{false};
    auto first = std::make_shared<FnOperation>([&] {
        started = true;
        QThread::msleep(100);
        firstDone = true;
    });
    auto second = std::make_shared<FnOperation>([] {});
    second->completionBlock = [&] { secondCompleted = true; };
    {
        OperationQueue queue;
        queue.addOperation(first);
        queue.addOperation(second);
        ASSERT_TRUE(pollUntil([&] { return started.load(); }));
    }
    EXPECT_TRUE(firstDone.load());
    EXPECT_FALSE(second->ran.load());
    EXPECT_TRUE(secondCompleted.load());

    // An operation runs once: adding it again is refused.
    OperationQueue again;
    again.addOperation(first);
    EXPECT_EQ(again.operationCount(), 0);
}
