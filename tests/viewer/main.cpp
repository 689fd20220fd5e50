#include "conversion/ConversionQueue.h"
#include "support/NetworkThread.h"
#include "viewer/QuillmoorApplication.h"

#include "TestDisplay.h"

#include <QApplication>

#include <gtest/gtest.h>

// Read by the address sanitizer when the tests are built with it: the web
// engine and the GL driver keep what they set up until exit, and those
// allocations are not this program's to free.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

namespace {

int runTests(int argc, char *argv[])
{
    useAssignedTestDisplay();
    QuillmoorApplication::prepareProcess();
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    // A test may end while a conversion still runs; as at the end of the
    // application, it must neither report nor write anything any more.
    stopConversions();
    // Nothing of the network may run while static objects are destroyed.
    NetworkThread::shutdown();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    exitAfterConversions(runTests(argc, argv));
}
