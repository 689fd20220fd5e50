// quillmoor-reference-service [--record DIR] [--script ENDPOINT=ANSWERS]...
//                             [--answer ENDPOINT=ANSWER]... [--set KEY.PATH=VALUE]...
//                             [SETTINGS.json]
//
// Runs the stand-in analytics and settings service on a free loopback port
// for trying the SDK by hand. The first line of its output is its base
// address: point "SettingsEndpoint" and "ConfigureEndpoint" at it. Its
// settings send events to its own events endpoint. Every request is then
// printed as a line, and with --record written whole to a numbered file.

#include "ReferenceService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

using Answer = ReferenceService::Answer;
using Endpoint = ReferenceService::Endpoint;

// "503" or "503:30" (with "Retry-After: 30"). A success of the settings
// endpoint carries the settings.
std::optional<Answer> parseAnswer(const QString &text, Endpoint endpoint,
                                  const QJsonObject &settings)
{
    const QStringList pieces = text.split(QLatin1Char(':'));
    bool statusOk = false;
    const int status = pieces.value(0).toInt(&statusOk);
    if (!statusOk || status < 100 || status > 999 || pieces.size() > 2)
        return std::nullopt;
    Answer answer = endpoint == Endpoint::Settings && status >= 200 && status < 300
                        ? Answer::json(settings, status)
                        : Answer::withStatus(status);
    if (pieces.size() == 2) {
        bool secondsOk = false;
        const int seconds = pieces[1].toInt(&secondsOk);
        if (!secondsOk)
            return std::nullopt;
        answer.headers.append({"Retry-After", QByteArray::number(seconds)});
    }
    return answer;
}

// "ENDPOINT=A,B,..." into the endpoint and its answers.
std::optional<std::pair<Endpoint, QList<Answer>>> parseScript(const QString &text,
                                                              const QJsonObject &settings)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const std::optional<Endpoint> endpoint = ReferenceService::endpointNamed(text.left(equals));
    if (equals < 0 || !endpoint || *endpoint == Endpoint::Unknown)
        return std::nullopt;
    QList<Answer> answers;
    for (const QString &item : text.mid(equals + 1).split(QLatin1Char(','))) {
        const std::optional<Answer> answer = parseAnswer(item.trimmed(), *endpoint, settings);
        if (!answer)
            return std::nullopt;
        answers.append(*answer);
    }
    return std::pair{*endpoint, answers};
}

// "features.collect_analytics=false" into the settings: the value is read
// as JSON (true, 3, "text", {...}) and, when it is none, taken as text.
bool setSetting(QJsonObject &settings, const QString &assignment)
{
    const qsizetype equals = assignment.indexOf(QLatin1Char('='));
    const QStringList path = assignment.left(equals).split(QLatin1Char('.'));
    if (equals < 0 || path.contains(QString()))
        return false;
    const QString text = assignment.mid(equals + 1);
    const QJsonDocument parsed = QJsonDocument::fromJson('[' + text.toUtf8() + ']');
    const QJsonValue value =
        parsed.isArray() && parsed.array().size() == 1 ? parsed.array().first() : QJsonValue(text);
    // Each level is rebuilt on the way back up, since QJsonObject holds
    // copies.
    const auto assign = [&](auto &self, QJsonObject object, qsizetype level) -> QJsonObject {
        const QString &key = path[level];
        if (level == path.size() - 1)
            object.insert(key, value);
        else
            object.insert(key, self(self, object.value(key).toObject(), level + 1));
        return object;
    };
    settings = assign(assign, settings, 0);
    return true;
}

[[noreturn]] void fail(const QCommandLineParser &parser, const QString &message)
{
    std::fprintf(stderr, "%s\n\n%s", qPrintable(message), qPrintable(parser.helpText()));
    std::exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Stand-in analytics and settings service on a free loopback port. "
                       "Endpoints: settings, create, update, events. An answer is a status, "
                       "optionally with \":SECONDS\" for a \"Retry-After\" header."));
    parser.addHelpOption();
    const QCommandLineOption record(
        QStringLiteral("record"),
        QStringLiteral("Write every request to DIR as a numbered file (method, target, "
                       "headers, body)."),
        QStringLiteral("DIR"));
    const QCommandLineOption script(
        QStringLiteral("script"),
        QStringLiteral("Answer the next requests of ENDPOINT with these statuses in turn, "
                       "e.g. events=503:30,503,413. May be repeated."),
        QStringLiteral("ENDPOINT=ANSWERS"));
    const QCommandLineOption standing(
        QStringLiteral("answer"),
        QStringLiteral("Answer every other request of ENDPOINT so, e.g. events=503. "
                       "The default is success."),
        QStringLiteral("ENDPOINT=ANSWER"));
    const QCommandLineOption set(
        QStringLiteral("set"),
        QStringLiteral("Change one value of the settings served, e.g. "
                       "features.collect_analytics=false or analytics.sampling_rate=3. "
                       "May be repeated."),
        QStringLiteral("KEY.PATH=VALUE"));
    parser.addOptions({record, script, standing, set});
    parser.addPositionalArgument(QStringLiteral("SETTINGS.json"),
                                 QStringLiteral("Settings to serve instead of the built-in ones."),
                                 QStringLiteral("[SETTINGS.json]"));
    parser.process(app);

    ReferenceService service;
    QJsonObject settings = service.defaultSettings();
    if (const QStringList files = parser.positionalArguments(); !files.isEmpty()) {
        if (files.size() > 1)
            fail(parser, QStringLiteral("Only one settings file is taken."));
        QFile file(files.first());
        const QJsonDocument document = file.open(QIODevice::ReadOnly)
                                           ? QJsonDocument::fromJson(file.readAll())
                                           : QJsonDocument();
        if (!document.isObject())
            fail(parser, QStringLiteral("%1 does not hold a JSON object.").arg(files.first()));
        settings = document.object();
    }
    for (const QString &assignment : parser.values(set)) {
        if (!setSetting(settings, assignment))
            fail(parser, QStringLiteral("Cannot read the setting \"%1\".").arg(assignment));
    }
    service.setSettings(settings);
    for (const QString &text : parser.values(standing)) {
        const auto parsed = parseScript(text, settings);
        if (!parsed || parsed->second.size() != 1)
            fail(parser, QStringLiteral("Cannot read the answer \"%1\".").arg(text));
        service.setStandingAnswer(parsed->first, parsed->second.first());
    }
    for (const QString &text : parser.values(script)) {
        const auto parsed = parseScript(text, settings);
        if (!parsed)
            fail(parser, QStringLiteral("Cannot read the script \"%1\".").arg(text));
        service.script(parsed->first, parsed->second);
    }
    if (parser.isSet(record) && !service.setRecordDirectory(parser.value(record)))
        fail(parser, QStringLiteral("Cannot make the folder %1.").arg(parser.value(record)));

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
