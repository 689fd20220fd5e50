#pragma once

#include <QObject>
#include <QPointF>

#include <functional>
#include <memory>
#include <optional>

class CDRWebViewContainer;
class PageThumbnails;
namespace Ui {
class Document;
}

// Moves through the pages of a document window and keeps what the window
// shows of them in step with the pages in view: the page field and the
// page count, the list of page pictures (for drawings of more than one
// page) and the Go menu.
class PageNavigation : public QObject
{
    Q_OBJECT
public:
    PageNavigation(Ui::Document &ui, CDRWebViewContainer &container, QObject *parent = nullptr);
    ~PageNavigation() override;

    // 0 for the first page; -1 before the pages are shown.
    int currentPage() const { return m_currentPage; }
    int pageCount() const { return m_pageCount; }
    PageThumbnails &thumbnails() const { return *m_thumbnails; }

    // Draws the page pictures from the page document, once it is shown.
    void showThumbnails(const QByteArray &pageDocument);

public slots:
    void nextPage();
    void previousPage();
    void firstPage();
    void lastPage();
    // From 0.
    void goToPage(int page);
    // Puts the keyboard in the page field, ready for a number.
    void askForPage();

signals:
    void currentPageChanged(int page);
    void pageCountChanged(int count);

private:
    void onPageLayoutChanged();
    // The page moved to stays current, even where it cannot come to the
    // top of the view (near the end), until the view scrolls elsewhere.
    std::function<void()> pinTo(int page);
    void setCurrentPage(int page);

    Ui::Document &m_ui;
    CDRWebViewContainer &m_container;
    std::unique_ptr<PageThumbnails> m_thumbnails;
    int m_currentPage = -1;
    int m_pageCount = 0;
    int m_pinnedPage = -1;
    std::optional<QPointF> m_pinnedScroll;
    // Pictures are drawn once, when the pages are first laid out.
    QByteArray m_pendingThumbnails;
};
