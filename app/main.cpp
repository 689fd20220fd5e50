#include "shell/AppDelegate.h"

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
    return quillmoor.run(QApplication::arguments());
}
