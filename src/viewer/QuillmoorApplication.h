#pragma once

#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

class Document;
class DocumentController;

// The application: opens the drawings it is given, each in its own
// document window, and quits when the last one has closed. The shell
// extends it through the virtual steps.
class QuillmoorApplication : public QObject
{
    Q_OBJECT
public:
    explicit QuillmoorApplication(QObject *parent = nullptr);
    ~QuillmoorApplication() override;

    // Must run before the application object exists.
    static void prepareProcess();
    // Translates the interface into the user's language where a
    // translation is installed.
    static void installTranslations();
    // Answers --help and --version, which need no display, before the
    // application object (which needs one) exists; whether it did. The
    // application's name and version must be set.
    static bool answerWithoutDisplay(int argc, char *argv[]);

    // The drawings a command line opens in windows, as absolute paths;
    // nothing for one that makes a snapshot instead.
    static std::optional<QStringList> drawingsToOpen(const QStringList &arguments);

    DocumentController &documentController() const { return *m_controller; }

    // Handles the command line ("quillmoor [DRAWING...]" or
    // "quillmoor --snapshot OUT.png DRAWING") and runs the event loop. When
    // it returns, the documents are gone and no conversion will write or
    // report anything any more (see stopConversions()).
    int run(const QStringList &arguments);

protected:
    // Opens the drawings; with none, asks for some.
    virtual void applicationDidFinishLaunching(const QStringList &drawings);
    // Gives a new document's window the application's commands.
    virtual void documentOpened(Document *document);
    // Quits: there is nothing left to show.
    virtual void lastDocumentClosed();

private:
    int runSnapshot(const QString &outputPath, const QString &drawing);
    int execUntilQuit();
    void applicationWillEnd();

    std::unique_ptr<DocumentController> m_controller;
};
