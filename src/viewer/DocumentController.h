#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>

class AlertPresenter;
class Document;
class PageSchemeHandler;
class QMainWindow;
class QWidget;

// Opens, finds and closes the documents of the application. No window is
// restored from an earlier run: every document is opened afresh.
class DocumentController : public QObject
{
    Q_OBJECT
public:
    static const char *const DrawingFilterText;
    static const QString DrawingFilter;

    explicit DocumentController(QObject *parent = nullptr);
    ~DocumentController() override;

    AlertPresenter &alertPresenter() const { return *m_alerts; }
    // Documents opened from now on present their errors through this.
    void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter);
    PageSchemeHandler &pageSchemeHandler() const { return *m_pages; }

    // Opens the drawing in a new document, or returns the document that
    // has it open already, bringing its window forward.
    Document *openDocument(const QString &path);
    // Asks for drawings with a file dialog and opens each.
    QList<Document *> openDocumentsInteractively(QWidget *parent = nullptr);

    Document *documentForURL(const QUrl &url) const;
    QList<Document *> documents() const { return m_documents; }
    void closeAllDocuments();

signals:
    void documentOpened(Document *document);
    void documentClosed(Document *document);
    void lastDocumentClosed();

private:
    void onDocumentClosed(Document *document);
    // Gives a document window that appears for the first time a size that
    // suits its drawing, and a place beside the windows already open.
    void placeWindow(Document *document);

    std::unique_ptr<PageSchemeHandler> m_pages;
    std::shared_ptr<AlertPresenter> m_alerts;
    QList<Document *> m_documents;
    QPointer<QMainWindow> m_lastPlaced;
};
