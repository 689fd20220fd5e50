#include "DocumentController.h"

#include "Document.h"
#include "MessageBoxAlertPresenter.h"
#include "PageSchemeHandler.h"
#include "WindowCascade.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

const char *const DocumentController::DrawingFilterText =
    QT_TR_NOOP("CorelDRAW drawings (*.cdr *.cmx)");
const QString DocumentController::DrawingFilter = QString::fromLatin1(DrawingFilterText);

DocumentController::DocumentController(QObject *parent)
    : QObject(parent)
    , m_pages(std::make_unique<PageSchemeHandler>())
    , m_alerts(std::make_shared<MessageBoxAlertPresenter>())
{
    m_pages->install();
}

DocumentController::~DocumentController()
{
    // Documents, including those already closed and waiting for deletion,
    // go before the page server they withdraw their pages from.
    const QList<Document *> all = findChildren<Document *>(Qt::FindDirectChildrenOnly);
    qDeleteAll(all);
}

void DocumentController::setAlertPresenter(std::shared_ptr<AlertPresenter> presenter)
{
    m_alerts = std::move(presenter);
}

Document *DocumentController::openDocument(const QString &path)
{
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    if (Document *existing = documentForURL(url)) {
        if (existing->windowForSheet() && existing->windowForSheet()->isVisible())
            existing->showDocumentWindow();
        return existing;
    }
    // The presenter is shared with the document so that replacing it later
    // never leaves an open document without one.
    auto *document = new Document(*m_pages, m_alerts, this);
    connect(document, &Document::closed, this, &DocumentController::onDocumentClosed);
    connect(document, &Document::windowAboutToShow, this, &DocumentController::placeWindow);
    m_documents.append(document);
    document->readFromURL(url);
    document->makeWindowControllers();
    document->showWindows();
    emit documentOpened(document);
    return document;
}

QList<Document *> DocumentController::openDocumentsInteractively(QWidget *parent)
{
    const QStringList paths =
        QFileDialog::getOpenFileNames(parent, tr("Open"), QString(), tr(DrawingFilterText));
    QList<Document *> opened;
    for (const QString &path : paths)
        opened.append(openDocument(path));
    return opened;
}

Document *DocumentController::documentForURL(const QUrl &url) const
{
    for (Document *document : m_documents) {
        if (document->fileURL() == url)
            return document;
    }
    return nullptr;
}

void DocumentController::closeAllDocuments()
{
    const QList<Document *> open = m_documents;
    for (Document *document : open)
        document->close();
}

void DocumentController::placeWindow(Document *document)
{
    QMainWindow *window = document->windowForSheet();
    // Down and to the right of the document window shown last that is
    // still open, on its screen.
    std::optional<QPoint> previous;
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (m_lastPlaced && m_lastPlaced->isVisible() && !m_lastPlaced->isFullScreen()) {
        previous = m_lastPlaced->pos();
        screen = m_lastPlaced->screen();
    }
    if (!window || !screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize size = document->preferredWindowSize(available);
    window->resize(size);
    window->move(WindowCascade::nextPosition(available, window->frameGeometry().size(), previous));
    m_lastPlaced = window;
}

void DocumentController::onDocumentClosed(Document *document)
{
    if (!m_documents.removeOne(document))
        return;
    emit documentClosed(document);
    document->deleteLater();
    if (m_documents.isEmpty())
        emit lastDocumentClosed();
}
