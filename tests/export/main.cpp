#include <QGuiApplication>

#include <gtest/gtest.h>

// Exported PDF files are read back with Qt's PDF reader, which wants an
// application object; no window is ever shown.
int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
