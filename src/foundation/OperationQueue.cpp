#include "OperationQueue.h"

#include <QByteArray>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {
// Upper bound of worker threads for queues without a concurrency limit.
constexpr int UnlimitedWorkerCap = 64;
thread_local OperationQueue *t_currentQueue = nullptr;
} // namespace

struct OperationQueue::State : std::enable_shared_from_this<OperationQueue::State>
{
    OperationQueue *queue = nullptr;
    mutable std::mutex mutex;
    std::condition_variable workAvailable;
    std::condition_variable allDone;
    std::deque<std::shared_ptr<Operation>> waiting;
    std::vector<std::shared_ptr<Operation>> inFlight;
    std::vector<std::thread> workers;
    int idleWorkers = 0;
    int maxConcurrent = DefaultMaxConcurrentOperationCount;
    bool suspended = false;
    bool stopping = false;
    QString name;

    int slotLimit() const { return maxConcurrent > 0 ? maxConcurrent : UnlimitedWorkerCap; }

    // Drops finished operations and wakes workers; called whenever an
    // operation of this queue, or one it depends on, changes state.
    void wake()
    {
        {
            std::lock_guard lock(mutex);
            std::erase_if(inFlight, [](const auto &op) { return op->isFinished(); });
            if (waiting.empty() && inFlight.empty())
                allDone.notify_all();
        }
        workAvailable.notify_all();
    }

    std::shared_ptr<Operation> takeReadyLocked()
    {
        if (suspended || int(inFlight.size()) >= slotLimit())
            return nullptr;
        auto it = std::find_if(waiting.begin(), waiting.end(),
                               [](const auto &op) { return op->isReady(); });
        if (it == waiting.end())
            return nullptr;
        std::shared_ptr<Operation> op = *it;
        waiting.erase(it);
        inFlight.push_back(op);
        return op;
    }

    void spawnWorkerIfNeededLocked()
    {
        if (idleWorkers > 0 || int(workers.size()) >= slotLimit())
            return;
        workers.emplace_back([self = shared_from_this()] { self->workerLoop(); });
    }

    void workerLoop()
    {
        t_currentQueue = queue;
        const QByteArray threadName = name.toUtf8().left(15);
        if (!threadName.isEmpty())
            pthread_setname_np(pthread_self(), threadName.constData());

        std::unique_lock lock(mutex);
        for (;;) {
            if (std::shared_ptr<Operation> op = takeReadyLocked()) {
                lock.unlock();
                op->start();
                op.reset();
                lock.lock();
                continue;
            }
            if (stopping && waiting.empty())
                break;
            ++idleWorkers;
            workAvailable.wait(lock);
            --idleWorkers;
        }
    }
};

OperationQueue::OperationQueue(const QString &name, int maxConcurrentOperationCount)
    : d(std::make_shared<State>())
{
    d->queue = this;
    d->name = name;
    d->maxConcurrent = maxConcurrentOperationCount;
}

OperationQueue::~OperationQueue()
{
    // The last owner may be let go by one of the queue's own operations, on
    // its worker, which cannot wait for itself: that worker runs what is
    // left (cancelled) after the operation and then ends on its own.
    const bool onOwnWorker = t_currentQueue == this;
    if (onOwnWorker)
        t_currentQueue = nullptr;
    cancelAllOperations();
    {
        std::lock_guard lock(d->mutex);
        d->suspended = false;
    }
    if (!onOwnWorker)
        waitUntilAllOperationsAreFinished();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
        workers.swap(d->workers);
    }
    d->workAvailable.notify_all();
    for (std::thread &worker : workers) {
        if (worker.get_id() == std::this_thread::get_id())
            worker.detach();
        else
            worker.join();
    }
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation)
{
    if (!operation || operation->isFinished() || operation->isExecuting())
        return;
    std::weak_ptr<State> weakState = d;
    auto wake = [weakState] {
        if (auto state = weakState.lock())
            state->wake();
    };
    operation->addStateListener(wake);
    for (const auto &dependency : operation->dependencies())
        dependency->addStateListener(wake);
    {
        std::lock_guard lock(d->mutex);
        d->waiting.push_back(std::move(operation));
        d->spawnWorkerIfNeededLocked();
    }
    d->workAvailable.notify_all();
}

std::shared_ptr<Operation> OperationQueue::addOperationWithBlock(std::function<void()> block)
{
    auto operation = BlockOperation::create(std::move(block));
    addOperation(operation);
    return operation;
}

QString OperationQueue::name() const
{
    std::lock_guard lock(d->mutex);
    return d->name;
}

void OperationQueue::setName(const QString &name)
{
    std::lock_guard lock(d->mutex);
    d->name = name;
}

int OperationQueue::maxConcurrentOperationCount() const
{
    std::lock_guard lock(d->mutex);
    return d->maxConcurrent;
}

void OperationQueue::setMaxConcurrentOperationCount(int count)
{
    {
        std::lock_guard lock(d->mutex);
        d->maxConcurrent = count;
        if (!d->waiting.empty())
            d->spawnWorkerIfNeededLocked();
    }
    d->workAvailable.notify_all();
}

bool OperationQueue::isSuspended() const
{
    std::lock_guard lock(d->mutex);
    return d->suspended;
}

void OperationQueue::setSuspended(bool suspended)
{
    {
        std::lock_guard lock(d->mutex);
        d->suspended = suspended;
    }
    d->workAvailable.notify_all();
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const
{
    std::lock_guard lock(d->mutex);
    std::vector<std::shared_ptr<Operation>> all(d->inFlight.begin(), d->inFlight.end());
    all.insert(all.end(), d->waiting.begin(), d->waiting.end());
    return all;
}

int OperationQueue::operationCount() const
{
    std::lock_guard lock(d->mutex);
    return int(d->waiting.size() + d->inFlight.size());
}

void OperationQueue::cancelAllOperations()
{
    for (const auto &operation : operations())
        operation->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished()
{
    std::unique_lock lock(d->mutex);
    d->allDone.wait(lock, [this] { return d->waiting.empty() && d->inFlight.empty(); });
}

OperationQueue *OperationQueue::currentQueue()
{
    return t_currentQueue;
}
