#pragma once

#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class OperationQueue;

// A unit of work for an OperationQueue. An operation runs once; it is ready
// when every dependency has finished (or when it is cancelled, so that a
// cancelled operation leaves its queue promptly). Synchronous operations are
// finished when main() returns; asynchronous ones call finish() themselves.
class Operation : public std::enable_shared_from_this<Operation>
{
public:
    Operation();
    virtual ~Operation();
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;

    void addDependency(const std::shared_ptr<Operation> &operation);
    void removeDependency(const std::shared_ptr<Operation> &operation);
    std::vector<std::shared_ptr<Operation>> dependencies() const;

    // Runs on the finishing thread after the work, before waiters wake up.
    void setCompletionBlock(std::function<void()> block);

    QString name() const;
    void setName(const QString &name);

    virtual void cancel();
    bool isCancelled() const;
    bool isExecuting() const;
    bool isFinished() const;
    bool isReady() const;
    virtual bool isAsynchronous() const { return false; }

    // Blocks the calling thread until the operation has finished.
    void waitUntilFinished();

    // Runs the operation on the calling thread. Queues call this; it may
    // also be called directly for an operation that is in no queue.
    void start();

protected:
    virtual void main() = 0;
    // Marks the operation finished; asynchronous operations call it when
    // their work is over. Later calls do nothing.
    void finish();

private:
    friend class OperationQueue;
    enum class State
    {
        Pending,
        Executing,
        Finished
    };

    // Calls listener when the operation is cancelled and when it finishes
    // (at once if it has finished already).
    void addStateListener(std::function<void()> listener);

    mutable std::mutex m_mutex;
    std::condition_variable m_finishedCondition;
    State m_state = State::Pending;
    bool m_cancelled = false;
    QString m_name;
    std::vector<std::shared_ptr<Operation>> m_dependencies;
    std::function<void()> m_completionBlock;
    std::vector<std::function<void()>> m_stateListeners;
};

// An operation that runs one function.
class BlockOperation : public Operation
{
public:
    explicit BlockOperation(std::function<void()> block);
    static std::shared_ptr<BlockOperation> create(std::function<void()> block);

protected:
    void main() override;

private:
    std::function<void()> m_block;
};
