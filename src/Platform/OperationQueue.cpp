// A FIFO operation queue: every operation runs on a worker QThread of its
// own, so main() may run an event loop for the child processes it starts.
#include "Platform/OperationQueue.h"

#include <QThread>

#include <algorithm>

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
    std::vector<QThread*> done;
    {
        std::lock_guard lock(m_mutex);
        if (m_closing)
            operation->m_cancelled = true;
        m_operations.push_back(operation);
        m_waiting.push_back(operation);
        done.swap(m_doneThreads);
        startReadyLocked();
    }
    reapThreads(done);
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
    std::vector<QThread*> done;
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_operations.empty(); });
        done.swap(m_doneThreads);
    }
    reapThreads(done);
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
        if ((*it)->isCancelled()) {
            const auto op = *it;
            it = m_waiting.erase(it);
            dispatchLocked(op, false);
        } else {
            ++it;
        }
    }
    const int limit = std::max(1, m_maxConcurrent);
    while (m_runningCount < limit && !m_waiting.empty()) {
        const auto op = m_waiting.front();
        m_waiting.pop_front();
        dispatchLocked(op, true);
    }
}

void OperationQueue::dispatchLocked(const std::shared_ptr<Operation>& op, bool counted)
{
    if (counted)
        ++m_runningCount;
    // The worker's copy of the operation goes when execute returns, not when
    // the thread object is reaped later.
    QThread* worker = QThread::create([this, op, counted]() mutable { execute(std::move(op), counted); });
    worker->setObjectName(QStringLiteral("OperationQueue worker"));
    worker->start();
}

void OperationQueue::execute(std::shared_ptr<Operation> op, bool counted)
{
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
    std::vector<QThread*> done;
    {
        std::lock_guard lock(m_mutex);
        m_operations.erase(std::find(m_operations.begin(), m_operations.end(), op));
        if (counted)
            --m_runningCount;
        // This worker cannot join itself: the next one to come by does.
        done.swap(m_doneThreads);
        m_doneThreads.push_back(QThread::currentThread());
        startReadyLocked();
        if (m_operations.empty())
            m_idle.notify_all();
    }
    reapThreads(done);
}

void OperationQueue::reapThreads(const std::vector<QThread*>& threads)
{
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
}
