#include "Operation.h"

#include <algorithm>

Operation::Operation() = default;
Operation::~Operation() = default;

void Operation::addDependency(const std::shared_ptr<Operation> &operation)
{
    if (!operation || operation.get() == this)
        return;
    std::lock_guard lock(m_mutex);
    if (std::find(m_dependencies.begin(), m_dependencies.end(), operation) == m_dependencies.end())
        m_dependencies.push_back(operation);
}

void Operation::removeDependency(const std::shared_ptr<Operation> &operation)
{
    std::lock_guard lock(m_mutex);
    std::erase(m_dependencies, operation);
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const
{
    std::lock_guard lock(m_mutex);
    return m_dependencies;
}

void Operation::setCompletionBlock(std::function<void()> block)
{
    std::lock_guard lock(m_mutex);
    m_completionBlock = std::move(block);
}

QString Operation::name() const
{
    std::lock_guard lock(m_mutex);
    return m_name;
}

void Operation::setName(const QString &name)
{
    std::lock_guard lock(m_mutex);
    m_name = name;
}

void Operation::cancel()
{
    std::vector<std::function<void()>> listeners;
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled || m_state == State::Finished)
            return;
        m_cancelled = true;
        listeners = m_stateListeners;
    }
    // A cancelled operation becomes ready; let queues look again.
    for (auto &listener : listeners)
        listener();
}

bool Operation::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

bool Operation::isExecuting() const
{
    std::lock_guard lock(m_mutex);
    return m_state == State::Executing;
}

bool Operation::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return m_state == State::Finished;
}

bool Operation::isReady() const
{
    std::vector<std::shared_ptr<Operation>> dependencies;
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Pending)
            return false;
        if (m_cancelled)
            return true;
        dependencies = m_dependencies;
    }
    return std::all_of(dependencies.begin(), dependencies.end(),
                       [](const auto &dependency) { return dependency->isFinished(); });
}

void Operation::waitUntilFinished()
{
    std::unique_lock lock(m_mutex);
    m_finishedCondition.wait(lock, [this] { return m_state == State::Finished; });
}

void Operation::start()
{
    bool cancelled;
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Pending)
            return;
        m_state = State::Executing;
        cancelled = m_cancelled;
    }
    if (!cancelled)
        main();
    if (cancelled || !isAsynchronous())
        finish();
}

void Operation::finish()
{
    std::function<void()> completion;
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Finished)
            return;
        completion = std::move(m_completionBlock);
        m_completionBlock = nullptr;
    }
    if (completion)
        completion();

    std::vector<std::function<void()>> listeners;
    {
        std::lock_guard lock(m_mutex);
        m_state = State::Finished;
        listeners.swap(m_stateListeners);
        // Finished dependencies are no longer needed; dropping them breaks
        // reference chains between long-lived operations.
        m_dependencies.clear();
    }
    m_finishedCondition.notify_all();
    for (auto &listener : listeners)
        listener();
}

void Operation::addStateListener(std::function<void()> listener)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Finished) {
            m_stateListeners.push_back(std::move(listener));
            return;
        }
    }
    listener();
}

BlockOperation::BlockOperation(std::function<void()> block)
    : m_block(std::move(block))
{}

std::shared_ptr<BlockOperation> BlockOperation::create(std::function<void()> block)
{
    return std::make_shared<BlockOperation>(std::move(block));
}

void BlockOperation::main()
{
    if (m_block)
        m_block();
}
