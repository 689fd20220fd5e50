#include "TestDisplay.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    useAssignedTestDisplay();
    // The controls draw into pictures; no screen is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
