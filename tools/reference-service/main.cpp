// quillmoor-reference-service [SETTINGS.json]
// Runs the stand-in analytics and settings service on a free loopback port,
// for trying the SDK by hand: point "SettingsEndpoint" and
// "ConfigureEndpoint" at the printed address. Every request is printed.

#include "ReferenceService.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ReferenceService service;
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        const QJsonDocument settings = file.open(QIODevice::ReadOnly)
                                           ? QJsonDocument::fromJson(file.readAll())
                                           : QJsonDocument();
        if (!settings.isObject()) {
            std::fprintf(stderr, "%s does not hold a JSON object\n", argv[1]);
            return 2;
        }
        service.setSettings(settings.object());
    }
    std::printf("%s\n", qPrintable(service.baseURL()));
    std::fflush(stdout);

    qsizetype printed = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QList<ReferenceService::Request> requests = service.requests();
        for (; printed < requests.size(); ++printed) {
            const ReferenceService::Request &request = requests[printed];
            std::printf("%s %s (%lld bytes)\n", request.method.constData(),
                        request.target.constData(), static_cast<long long>(request.body.size()));
        }
        std::fflush(stdout);
    });
    poll.start(200);
    return app.exec();
}
