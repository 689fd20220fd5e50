#include "ChildProcess.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (const QByteArray mode = qgetenv(ChildModeVariable); !mode.isEmpty())
        return runChildProcess(mode, argc, argv);
    // Child processes are started and read through QProcess.
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
