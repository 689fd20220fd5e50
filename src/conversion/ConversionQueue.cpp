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
    // Drawings start converting in the order they were opened. Each is
    // parsed in a process of its own and the image store is shared safely,
    // so two run side by side: a drawing that keeps its parser busy until
    // the time limit holds up no other.
    static OperationQueue *const queue =
        new OperationQueue(QStringLiteral("conversion"), ConcurrentConversions);
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
