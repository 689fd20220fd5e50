#include "support/NetworkThread.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// The network layer expects an application object, as in the real program;
// the tests themselves wait on other threads, so no event loop runs here.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    // Nothing of the network may run while static objects are destroyed.
    NetworkThread::shutdown();
    return status;
}
