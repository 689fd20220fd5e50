#pragma once

#include "Operation.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Runs operations on threads of its own, at most maxConcurrentOperationCount
// at a time (1 makes a serial queue), each when it is ready. Dependencies may
// cross queues. Destroying a queue cancels what has not started and waits
// for what runs.
class OperationQueue
{
public:
    static constexpr int DefaultMaxConcurrentOperationCount = -1;

    explicit OperationQueue(const QString &name = {},
                            int maxConcurrentOperationCount = DefaultMaxConcurrentOperationCount);
    ~OperationQueue();
    OperationQueue(const OperationQueue &) = delete;
    OperationQueue &operator=(const OperationQueue &) = delete;

    void addOperation(std::shared_ptr<Operation> operation);
    std::shared_ptr<Operation> addOperationWithBlock(std::function<void()> block);

    QString name() const;
    void setName(const QString &name);
    int maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(int count);
    bool isSuspended() const;
    void setSuspended(bool suspended);

    std::vector<std::shared_ptr<Operation>> operations() const;
    int operationCount() const;
    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();

    // The queue whose worker is running the calling thread, if any.
    static OperationQueue *currentQueue();

private:
    struct State;
    std::shared_ptr<State> d;
};
