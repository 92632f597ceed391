// A FIFO operation queue: every operation runs on a worker thread of its
// own, so main() may run an event loop for the child processes it starts.
//
// The workers are std::threads that Qt adopts: each is a QThread to Qt, its
// event dispatcher is made before main() runs, and its deferred deletions run
// when it ends. Joining a std::thread (rather than waiting for and deleting
// a QThread object) keeps the hand-over visible to ThreadSanitizer.
#include "Platform/OperationQueue.h"

#include <QEventLoop>

#include <algorithm>
#include <system_error>

void Operation::cancel()
{
    m_cancelled = true;
    std::lock_guard lock(m_queueMutex);
    if (m_queue)
        m_queue->operationCancelled();
}

OperationQueue::OperationQueue() = default;

OperationQueue::~OperationQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    cancelAllOperations();
    waitUntilAllOperationsAreFinished();
}

void OperationQueue::setMaxConcurrentOperationCount(int count)
{
    std::lock_guard lock(m_mutex);
    m_maxConcurrent = count;
    startReadyLocked();
}

int OperationQueue::maxConcurrentOperationCount() const
{
    std::lock_guard lock(m_mutex);
    return m_maxConcurrent;
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation)
{
    if (!operation)
        return;
    {
        // One queue, one run: an operation already queued or run is refused.
        std::lock_guard link(operation->m_queueMutex);
        if (operation->m_queue || operation->isExecuting() || operation->isFinished())
            return;
        operation->m_queue = this;
    }
    std::vector<std::thread> done;
    {
        std::lock_guard lock(m_mutex);
        if (m_closing)
            operation->m_cancelled = true;
        m_operations.push_back(operation);
        m_waiting.push_back(operation);
        done = takeDoneWorkersLocked();
        startReadyLocked();
    }
    join(done);
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const
{
    std::lock_guard lock(m_mutex);
    return m_operations;
}

int OperationQueue::operationCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_operations.size());
}

void OperationQueue::cancelAllOperations()
{
    std::vector<std::shared_ptr<Operation>> ops;
    {
        std::lock_guard lock(m_mutex);
        ops = m_operations;
        // Marked here as well, so that no waiting one can start even if a
        // subclass's cancel forgets to call the base.
        for (const auto& op : ops)
            op->m_cancelled = true;
    }
    // Outside the lock: a subclass's cancel may do real work (stop a child
    // process) and the base reports back to this queue.
    for (const auto& op : ops)
        op->cancel();
    std::lock_guard lock(m_mutex);
    startReadyLocked();
}

void OperationQueue::waitUntilAllOperationsAreFinished()
{
    std::vector<std::thread> done;
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_operations.empty(); });
        done = takeDoneWorkersLocked();
    }
    join(done);
}

void OperationQueue::operationCancelled()
{
    std::lock_guard lock(m_mutex);
    startReadyLocked();
}

void OperationQueue::startReadyLocked()
{
    // A cancelled operation leaves at once: it only finishes (its completion
    // runs), so it does not wait for a free place.
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (!(*it)->isCancelled()) {
            ++it;
            continue;
        }
        if (!dispatchLocked(*it, false))
            return;   // no thread to be had now: tried again on the next change
        it = m_waiting.erase(it);
    }
    const int limit = std::max(1, m_maxConcurrent);
    while (m_runningCount < limit && !m_waiting.empty()) {
        if (!dispatchLocked(m_waiting.front(), true))
            return;
        m_waiting.pop_front();
    }
}

bool OperationQueue::dispatchLocked(const std::shared_ptr<Operation>& op, bool counted)
{
    try {
        // The worker's copy of the operation goes when execute returns.
        std::thread worker([this, op, counted]() mutable { execute(std::move(op), counted); });
        const std::thread::id id = worker.get_id();
        m_workers.emplace(id, std::move(worker));
    } catch (const std::system_error&) {
        return false;
    }
    if (counted)
        ++m_runningCount;
    return true;
}

void OperationQueue::execute(std::shared_ptr<Operation> op, bool counted)
{
    {
        // Gives this thread its event dispatcher, so that timers and child
        // processes made in main() are served by the loops main() runs.
        QEventLoop dispatcher;
    }
    // Nothing thrown by an operation may escape its worker thread.
    if (!op->isCancelled()) {
        op->m_executing = true;
        try {
            op->main();
        } catch (...) {
        }
    }
    op->m_executing = false;
    op->m_finished = true;
    if (op->completionBlock) {
        try {
            op->completionBlock();
        } catch (...) {
        }
    }
    finished(op, counted);
}

void OperationQueue::finished(const std::shared_ptr<Operation>& op, bool counted)
{
    {
        std::lock_guard link(op->m_queueMutex);
        op->m_queue = nullptr;
    }
    std::vector<std::thread> done;
    {
        std::lock_guard lock(m_mutex);
        m_operations.erase(std::find(m_operations.begin(), m_operations.end(), op));
        if (counted)
            --m_runningCount;
        // This worker cannot join itself: the next one to come by does.
        done = takeDoneWorkersLocked();
        m_doneWorkers.push_back(std::this_thread::get_id());
        startReadyLocked();
        if (m_operations.empty())
            m_idle.notify_all();
    }
    join(done);
}

std::vector<std::thread> OperationQueue::takeDoneWorkersLocked()
{
    std::vector<std::thread> done;
    for (const std::thread::id id : m_doneWorkers) {
        const auto it = m_workers.find(id);
        if (it != m_workers.end()) {
            done.push_back(std::move(it->second));
            m_workers.erase(it);
        }
    }
    m_doneWorkers.clear();
    return done;
}

void OperationQueue::join(std::vector<std::thread>& workers)
{
    for (std::thread& worker : workers)
        worker.join();
}
