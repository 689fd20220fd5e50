#include "ChildProcess.h"

#include "support/NetworkThread.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (const QByteArray mode = qgetenv(ChildModeVariable); !mode.isEmpty())
        return runChildProcess(mode, argc, argv);
    // The kit must never reach a real service from a test; tests that
    // upload point it at a local one.
    qputenv("SettingsEndpoint", "http://127.0.0.1:9");
    qputenv("ConfigureEndpoint", "http://127.0.0.1:9");
    // Child processes are started and read through QProcess.
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    // Nothing of the network may run while static objects are destroyed.
    NetworkThread::shutdown();
    return status;
}
