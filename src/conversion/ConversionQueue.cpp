#include "ConversionQueue.h"

#include "TMPManager.h"

#include "foundation/OperationQueue.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>

namespace {

// Whether conversions may still call the main thread. A call is posted
// under the lock, so once stopConversions() has closed the gate no call is
// on its way to an application that is about to go.
struct MainThreadGate
{
    std::mutex mutex;
    bool open = true;
};

MainThreadGate &mainThreadGate()
{
    static MainThreadGate *const gate = new MainThreadGate;
    return *gate;
}

} // namespace

OperationQueue &conversionQueue()
{
    // One conversion at a time for the whole process: libcdr and the image
    // store are used from a single thread, in the order drawings were opened.
    static OperationQueue *const queue = new OperationQueue(QStringLiteral("conversion"), 1);
    return *queue;
}

bool runForConversionOnMainThread(const std::function<void()> &work)
{
    // The promise goes with the posted call: should the application drop
    // the call unrun, the waiting conversion is released all the same.
    auto ran = std::make_shared<std::promise<bool>>();
    std::future<bool> done = ran->get_future();
    {
        MainThreadGate &gate = mainThreadGate();
        std::unique_lock lock(gate.mutex);
        if (!gate.open)
            return false;
        QCoreApplication *application = QCoreApplication::instance();
        if (!application || QThread::currentThread() == application->thread()) {
            lock.unlock();
            work();
            return true;
        }
        QMetaObject::invokeMethod(
            application,
            [ran, &work] {
                work();
                ran->set_value(true);
            },
            Qt::QueuedConnection);
    }
    try {
        return done.get();
    } catch (const std::future_error &) {
        return false;
    }
}

void stopConversions()
{
    conversionQueue().cancelAllOperations();
    {
        MainThreadGate &gate = mainThreadGate();
        std::lock_guard lock(gate.mutex);
        gate.open = false;
    }
    TMPManager::instance().close();
}

void exitAfterConversions(int status)
{
    if (conversionQueue().operationCount() == 0)
        std::exit(status);
    std::fflush(nullptr);
    std::_Exit(status);
}
