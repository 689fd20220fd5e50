#include "QuillmoorApplication.h"

#include "Document.h"
#include "DocumentController.h"
#include "DocumentSnapshot.h"
#include "PageSchemeHandler.h"
#include "TerminationSignals.h"
#include "conversion/ConversionQueue.h"
#include "ui_Document.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

QuillmoorApplication::QuillmoorApplication(QObject *parent)
    : QObject(parent)
    , m_controller(std::make_unique<DocumentController>())
{
    connect(m_controller.get(), &DocumentController::documentOpened, this,
            [this](Document *document) { documentOpened(document); });
    connect(m_controller.get(), &DocumentController::lastDocumentClosed, this,
            [this] { lastDocumentClosed(); });
}

QuillmoorApplication::~QuillmoorApplication() = default;

void QuillmoorApplication::prepareProcess()
{
    PageSchemeHandler::registerScheme();
    // The page pictures' renderer reports every SVG feature it lacks; the
    // pictures are small, and the reports only noise.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
}

void QuillmoorApplication::installTranslations()
{
    // Qt's own texts (buttons of message boxes, file dialogs), then ours,
    // installed beside the translation template.
    const QLocale locale;
    auto *qt = new QTranslator(qApp);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    auto *own = new QTranslator(qApp);
    const QString folder =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quillmoor/translations");
    if (own->load(locale, QStringLiteral("quillmoor"), QStringLiteral("_"), folder))
        QCoreApplication::installTranslator(own);
}

namespace {

QCommandLineOption snapshotOption()
{
    return QCommandLineOption(
        QStringLiteral("snapshot"),
        QCoreApplication::translate("QuillmoorApplication",
                                    "Write a PNG picture of the drawing to <file> and exit."),
        QCoreApplication::translate("QuillmoorApplication", "file"));
}

// The command line of the application: [DRAWING...] or --snapshot.
void describeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QCoreApplication::translate("QuillmoorApplication", "Viewer for CorelDRAW drawings"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(snapshotOption());
    parser.addPositionalArgument(
        QStringLiteral("drawing"),
        QCoreApplication::translate("QuillmoorApplication", "Drawings to open."),
        QStringLiteral("[DRAWING...]"));
}

} // namespace

bool QuillmoorApplication::answerWithoutDisplay(int argc, char *argv[])
{
    // Parsed with a core application, which needs no display. Options of
    // the window system (such as -platform) are unknown here and left for
    // run() to take.
    QCoreApplication core(argc, argv);
    installTranslations();
    QCommandLineParser parser;
    describeCommandLine(parser);
    static_cast<void>(parser.parse(QCoreApplication::arguments()));
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return true;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return true;
    }
    return false;
}

std::optional<QStringList> QuillmoorApplication::drawingsToOpen(const QStringList &arguments)
{
    QCommandLineParser parser;
    describeCommandLine(parser);
    if (!parser.parse(arguments) || parser.isSet(snapshotOption()))
        return std::nullopt;
    QStringList drawings;
    for (const QString &drawing : parser.positionalArguments())
        drawings.append(QFileInfo(drawing).absoluteFilePath());
    return drawings;
}

int QuillmoorApplication::run(const QStringList &arguments)
{
    installTranslations();
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(arguments);
    const QCommandLineOption snapshot = snapshotOption();

    const QStringList drawings = parser.positionalArguments();
    if (parser.isSet(snapshot)) {
        if (drawings.size() != 1) {
            std::fprintf(stderr, "quillmoor: %s\n",
                         qPrintable(tr("--snapshot takes exactly one drawing")));
            return 2;
        }
        const int status = runSnapshot(parser.value(snapshot), drawings.first());
        applicationWillEnd();
        return status;
    }

    // Documents decide themselves when the application ends; a loading
    // panel or an error box closing must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, this, [this, drawings] { applicationDidFinishLaunching(drawings); });
    const int status = execUntilQuit();
    applicationWillEnd();
    return status;
}

void QuillmoorApplication::applicationWillEnd()
{
    // The documents go now, each removing its image files; then conversion
    // ends for good, without waiting for a conversion that still runs.
    m_controller->closeAllDocuments();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    stopConversions();
}

int QuillmoorApplication::runSnapshot(const QString &outputPath, const QString &drawing)
{
    QApplication::setQuitOnLastWindowClosed(false);
    DocumentSnapshot snapshot(*m_controller, outputPath);
    connect(&snapshot, &DocumentSnapshot::finished, qApp, &QCoreApplication::exit);
    snapshot.start(drawing);
    return execUntilQuit();
}

int QuillmoorApplication::execUntilQuit()
{
    // Asked to end by the system or from a terminal: quit as the user does.
    TerminationSignals termination;
    connect(&termination, &TerminationSignals::terminationRequested, qApp, &QCoreApplication::quit);
    return QApplication::exec();
}

void QuillmoorApplication::applicationDidFinishLaunching(const QStringList &drawings)
{
    for (const QString &drawing : drawings)
        m_controller->openDocument(drawing);
    if (drawings.isEmpty() && m_controller->openDocumentsInteractively().isEmpty())
        lastDocumentClosed();
}

void QuillmoorApplication::documentOpened(Document *document)
{
    Ui::Document *ui = document->ui();
    if (!ui)
        return;
    connect(ui->actionOpen, &QAction::triggered, this, [this, document] {
        m_controller->openDocumentsInteractively(document->windowForSheet());
    });
    connect(ui->actionQuit, &QAction::triggered, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
}

void QuillmoorApplication::lastDocumentClosed()
{
    QCoreApplication::quit();
}
