#include "conversion/ConversionQueue.h"
#include "conversion/ParserProcess.h"
#include "shell/AppDelegate.h"
#include "shell/InstanceChannel.h"
#include "support/NetworkThread.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    if (AppDelegate::answerWithoutDisplay(argc, argv))
        return 0;
    AppDelegate::prepareProcess();
    // Drawings open one after another: each finds its parser started.
    ParserProcess::keepSpare();
    int status = 0;
    {
        QApplication application(argc, argv);
        // Matches the installed desktop entry, for the window icon and grouping.
        QApplication::setDesktopFileName(QStringLiteral("quillmoor"));
        // A launch while Quillmoor runs hands its drawings over and ends.
        InstanceChannel instance;
        const std::optional<QStringList> drawings =
            AppDelegate::drawingsToOpen(QApplication::arguments());
        if (drawings && instance.claim(*drawings) == InstanceChannel::Role::HandedOver)
            return 0;
        AppDelegate quillmoor;
        QObject::connect(&instance, &InstanceChannel::drawingsReceived, &quillmoor,
                         &AppDelegate::openHandedOverDrawings);
        status = quillmoor.run(QApplication::arguments());
        // Nothing of the network may run while static objects are destroyed.
        NetworkThread::shutdown();
    }
    exitAfterConversions(status);
}
