#include "shell/AppDelegate.h"
#include "support/NetworkThread.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    AppDelegate::prepareProcess();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // Matches the installed desktop entry, for the window icon and grouping.
    QApplication::setDesktopFileName(QStringLiteral("quillmoor"));
    AppDelegate quillmoor;
    const int status = quillmoor.run(QApplication::arguments());
    // Nothing of the network may run while static objects are destroyed.
    NetworkThread::shutdown();
    return status;
}
