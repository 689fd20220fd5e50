#include "PageNavigation.h"

#include "CDRWebViewContainer.h"
#include "PageThumbnails.h"
#include "ui_Document.h"

#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>

PageNavigation::PageNavigation(Ui::Document &ui, CDRWebViewContainer &container, QObject *parent)
    : QObject(parent)
    , m_ui(ui)
    , m_container(container)
    , m_thumbnails(std::make_unique<PageThumbnails>(*ui.pageThumbnails))
{
    connect(&container, &CDRWebViewContainer::pageLayoutChanged, this,
            &PageNavigation::onPageLayoutChanged);
    connect(ui.actionNextPage, &QAction::triggered, this, &PageNavigation::nextPage);
    connect(ui.actionPreviousPage, &QAction::triggered, this, &PageNavigation::previousPage);
    connect(ui.actionFirstPage, &QAction::triggered, this, &PageNavigation::firstPage);
    connect(ui.actionLastPage, &QAction::triggered, this, &PageNavigation::lastPage);
    connect(ui.actionGoToPage, &QAction::triggered, this, &PageNavigation::askForPage);
    // Enter in the field, or a step of its arrows.
    connect(ui.pageField, &QSpinBox::valueChanged, this,
            [this](int number) { goToPage(number - 1); });
    connect(ui.pageField, &QAbstractSpinBox::editingFinished, this,
            [this] { m_container.webView()->setFocus(); });
    connect(ui.pageThumbnails, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != m_currentPage)
            goToPage(row);
    });
    ui.actionShowThumbnails->setEnabled(false);
    connect(ui.actionShowThumbnails, &QAction::toggled, ui.thumbnailsPanel, &QWidget::setVisible);
    connect(ui.thumbnailsPanel, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        // Hidden with its window (minimised, say) it is still chosen.
        if (m_ui.thumbnailsPanel->isHidden() || visible)
            m_ui.actionShowThumbnails->setChecked(visible);
    });
    ui.pageField->setEnabled(false);
}

PageNavigation::~PageNavigation() = default;

void PageNavigation::showThumbnails(const QByteArray &pageDocument)
{
    m_pendingThumbnails = pageDocument;
    if (!m_container.pageLayout().isEmpty())
        onPageLayoutChanged();
}

void PageNavigation::nextPage()
{
    m_container.pageDown();
}

void PageNavigation::previousPage()
{
    m_container.pageUp();
}

void PageNavigation::firstPage()
{
    m_container.scrollToStart(pinTo(0));
}

void PageNavigation::lastPage()
{
    m_container.scrollToEnd(pinTo(m_pageCount - 1));
}

void PageNavigation::goToPage(int page)
{
    if (page < 0 || page >= m_pageCount)
        return;
    m_container.goToPage(page, pinTo(page));
}

std::function<void()> PageNavigation::pinTo(int page)
{
    return [self = QPointer<PageNavigation>(this), page] {
        if (!self)
            return;
        self->m_pinnedPage = page;
        self->m_pinnedScroll = self->m_container.pageLayout().scroll;
        self->setCurrentPage(page);
    };
}

void PageNavigation::askForPage()
{
    if (!m_ui.pageField->isEnabled())
        return;
    m_ui.pageField->setFocus(Qt::ShortcutFocusReason);
    m_ui.pageField->selectAll();
}

void PageNavigation::onPageLayoutChanged()
{
    const PageLayout &layout = m_container.pageLayout();
    const int count = int(layout.pages.size());
    if (count != m_pageCount) {
        m_pageCount = count;
        const QSignalBlocker quiet(m_ui.pageField);
        m_ui.pageField->setMaximum(std::max(1, count));
        m_ui.pageField->setEnabled(count > 0);
        //: After the page field: "Page [3] of 7".
        m_ui.pageCountLabel->setText(count > 0 ? tr("of %1").arg(count) : QString());
        // The list of pages is for drawings of more than one page.
        const bool several = count > 1;
        m_ui.actionShowThumbnails->setEnabled(several);
        m_ui.actionShowThumbnails->setChecked(several);
        emit pageCountChanged(count);
    }
    if (!m_pendingThumbnails.isNull() && count > 1) {
        QList<QRectF> shown;
        for (const PageLayout::Page &page : layout.pages)
            shown.append(page.shown);
        m_thumbnails->show(m_pendingThumbnails, shown);
        m_pendingThumbnails = QByteArray();
    }
    if (m_pinnedScroll && layout.scroll != *m_pinnedScroll)
        m_pinnedScroll.reset();
    setCurrentPage(m_pinnedScroll ? m_pinnedPage : layout.currentPage(layout.scroll, layout.view));
}

void PageNavigation::setCurrentPage(int current)
{
    if (current == m_currentPage || current >= m_pageCount)
        return;
    m_currentPage = current;
    if (!m_ui.pageField->hasFocus()) {
        const QSignalBlocker quiet(m_ui.pageField);
        m_ui.pageField->setValue(current + 1);
    }
    {
        const QSignalBlocker quiet(m_ui.pageThumbnails);
        m_ui.pageThumbnails->setCurrentRow(current);
    }
    emit currentPageChanged(current);
}
