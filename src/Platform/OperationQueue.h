#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

class OperationQueue;

// A unit of work for an OperationQueue. main() runs on a worker thread that
// Qt knows as a QThread with an event dispatcher, so it may run an event loop
// (QProcess needs one).
// An operation cancelled before it starts never runs main().
class Operation
{
public:
    virtual ~Operation() = default;

    virtual void main() = 0;

    // Asks the operation to stop; subclasses may override to interrupt work
    // already under way (call the base too).
    virtual void cancel();
    bool isCancelled() const { return m_cancelled.load(); }
    bool isExecuting() const { return m_executing.load(); }
    bool isFinished() const { return m_finished.load(); }

    // Runs on the worker thread after main() (or instead of it when cancelled).
    std::function<void()> completionBlock;

private:
    friend class OperationQueue;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_executing{false};
    std::atomic<bool> m_finished{false};
    // The queue the operation is in, told of a cancel so that a waiting
    // operation leaves at once. Lock order: this mutex before the queue's.
    std::mutex m_queueMutex;
    OperationQueue* m_queue = nullptr;
};

// A FIFO queue of operations run on worker threads, at most
// maxConcurrentOperationCount at once (a value below 1 runs one at a time).
class OperationQueue
{
public:
    OperationQueue();
    ~OperationQueue();   // cancels what waits and waits for what runs

    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void setMaxConcurrentOperationCount(int count);
    int maxConcurrentOperationCount() const;

    void addOperation(std::shared_ptr<Operation> operation);
    // Waiting and running operations, in the order they were added.
    std::vector<std::shared_ptr<Operation>> operations() const;
    int operationCount() const;
    void cancelAllOperations();
    // Not from inside an operation of this queue.
    void waitUntilAllOperationsAreFinished();

private:
    friend class Operation;
    void startReadyLocked();
    bool dispatchLocked(const std::shared_ptr<Operation>& op, bool counted);
    void operationCancelled();
    void execute(std::shared_ptr<Operation> op, bool counted);
    void finished(const std::shared_ptr<Operation>& op, bool counted);
    std::vector<std::thread> takeDoneWorkersLocked();
    static void join(std::vector<std::thread>& workers);

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_maxConcurrent = 1;
    int m_runningCount = 0;    // operations started to run main()
    bool m_closing = false;
    std::vector<std::shared_ptr<Operation>> m_operations;   // waiting and running, in order
    std::deque<std::shared_ptr<Operation>> m_waiting;
    // Every worker runs one operation; the one that finishes next (or a
    // waiter) joins those that are done, since none can join itself.
    std::map<std::thread::id, std::thread> m_workers;
    std::vector<std::thread::id> m_doneWorkers;
};
