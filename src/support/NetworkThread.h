#pragma once

#include <QThread>

#include <functional>

// The one thread on which every session's network access manager and
// replies live. It runs for the life of the process.
class NetworkThread
{
public:
    static NetworkThread &shared();

    NetworkThread(const NetworkThread &) = delete;
    NetworkThread &operator=(const NetworkThread &) = delete;

    // Queues work for the thread and returns at once.
    void post(std::function<void()> work);
    // Runs work on the thread and returns once it has run (directly when
    // called on the thread itself).
    void runAndWait(const std::function<void()> &work);
    bool isCurrentThread() const;
    // An object living on the thread, to parent objects that must live there.
    QObject *context() const { return m_context; }

private:
    NetworkThread();
    ~NetworkThread() = default;

    QThread m_thread;
    QObject *m_context = nullptr;
};
