#pragma once

#include <QThread>

#include <functional>
#include <mutex>

// The one thread on which every session's network access manager and
// replies live. It runs until shutdown(), which main() calls before it
// returns: static objects, such as the built-in certificates, are destroyed
// after that, and nothing of the network may still run then.
class NetworkThread
{
public:
    static NetworkThread &shared();
    // Runs the work queued so far, then deletes the network access
    // managers still alive (each stops Qt's connection thread it runs) and
    // stops the thread. Afterwards the thread takes no more work, so no
    // session can be made. Nothing happens when the thread never started.
    static void shutdown();

    NetworkThread(const NetworkThread &) = delete;
    NetworkThread &operator=(const NetworkThread &) = delete;

    // Queues work for the thread and returns at once; false, and nothing
    // queued, after shutdown.
    bool post(std::function<void()> work);
    // Runs work on the thread and returns once it has run (directly when
    // called on the thread itself); false, and nothing run, after shutdown.
    bool runAndWait(const std::function<void()> &work);
    bool isCurrentThread() const;
    // An object living on the thread, to parent objects that must live
    // there. Only work running on the thread may use it.
    QObject *context() const { return m_context; }

private:
    NetworkThread();
    ~NetworkThread() = default;
    void stop();

    QThread m_thread;
    QObject *m_context = nullptr;

    // Guards the order of queued work against the end of the thread.
    std::mutex m_mutex;
    bool m_stopped = false;
};
