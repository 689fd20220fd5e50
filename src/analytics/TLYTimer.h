#pragma once

#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class OperationQueue;

// A repeating timer that adds its block to an operation queue: first one
// interval after it is made, then every interval. Its own thread only adds
// the block; the block runs on the queue. Destroying the timer stops it: its
// block is never added again once the destructor has returned. The queue
// must outlive the timer.
class TLYTimer
{
public:
    // An interval of zero or less never fires.
    TLYTimer(double timeInterval, OperationQueue &queue, QString timerIdentifier,
             std::function<void()> block);
    ~TLYTimer();
    TLYTimer(const TLYTimer &) = delete;
    TLYTimer &operator=(const TLYTimer &) = delete;

    const QString &timerIdentifier() const { return m_timerIdentifier; }
    double timeInterval() const { return m_timeInterval; }
    // How late a firing may come: a tenth of the interval.
    double tolerance() const { return m_timeInterval / 10; }

    // Adds the block to the queue as an operation.
    void executeBlock();

private:
    void run();

    const double m_timeInterval;
    OperationQueue &m_queue;
    const QString m_timerIdentifier;
    const std::function<void()> m_timerBlock;

    std::mutex m_mutex;
    std::condition_variable m_stopRequested;
    bool m_stopped = false;
    std::thread m_thread;
};
