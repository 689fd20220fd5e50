#include "Document.h"

#include "AlertPresenter.h"
#include "CDRWebViewContainer.h"
#include "PageNavigation.h"
#include "PageSchemeHandler.h"
#include "UsageCounter.h"
#include "controls/CenterWindow.h"
#include "controls/HUDWindow.h"
#include "controls/WhiteIntermProgIndicator.h"
#include "conversion/CDR2SVG.h"
#include "conversion/ConversionQueue.h"
#include "conversion/PageDocument.h"
#include "conversion/TemporaryFiles.h"
#include "foundation/Log.h"
#include "foundation/OperationQueue.h"
#include "ui_Document.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

#include <array>
#include <cmath>
#include <cstdlib>

namespace {
const QString WebViewErrorDomain = QStringLiteral("QuillmoorWebViewErrorDomain");

// Choices of the magnification field besides typed percentages.
const char *const FitChoice = "fit";
constexpr std::array<int, 7> PercentChoices = {25, 50, 100, 150, 200, 400, 800};

// The exponent of a magnification in the zoom commands' steps.
float zoomFor(double magnification)
{
    return float(std::log(magnification) / std::log(4.0));
}
} // namespace

Document::Document(PageSchemeHandler &pages, std::shared_ptr<AlertPresenter> alerts,
                   QObject *parent)
    : QObject(parent)
    , m_pages(pages)
    , m_alerts(std::move(alerts))
    , m_tempFiles(std::make_shared<TemporaryFiles>())
    , m_usageCounter(std::make_unique<UsageCounter>(*this))
{
    connect(this, &Document::windowsPrepared, m_usageCounter.get(),
            &UsageCounter::documentWindowsPrepared);
    connect(this, &Document::loadingPanelHidden, m_usageCounter.get(),
            &UsageCounter::loadAttemptEnded);
}

Document::~Document()
{
    // Stops the pictures of the pages before the list they go to.
    m_pageNavigation.reset();
    if (auto operation = m_loadOperation.lock())
        operation->cancel();
    m_cdr2svgConvertor.reset();
    m_tempFiles->removeAll();
    if (m_spinner)
        m_spinner->setSpinning(false);
    if (m_pageURL.isValid())
        m_pages.withdraw(m_pageURL);
}

OperationQueue &Document::convertOperationQueue()
{
    return conversionQueue();
}

bool Document::readFromURL(const QUrl &url)
{
    m_fileURL = url;
    m_cdr2svgConvertor = DrawingConverter::forFile(url.toLocalFile());
    auto operation = std::make_shared<CDRLoadOperation>();
    operation->setDocument(this);
    operation->setConvertor(m_cdr2svgConvertor);
    operation->setTemporaryFiles(m_tempFiles);
    m_loadOperation = operation;
    convertOperationQueue().addOperation(std::move(operation));
    return true;
}

QString Document::displayName() const
{
    return m_displayName.isEmpty() ? QFileInfo(m_fileURL.toLocalFile()).fileName() : m_displayName;
}

void Document::setDisplayName(const QString &name)
{
    m_displayName = name;
    if (!m_ui)
        return;
    m_window->setWindowTitle(displayName());
    m_ui->loadingPanel->setWindowTitle(displayName());
    m_ui->loadingDocumentName->setText(displayName());
}

QList<QUrl> Document::tempURLs() const
{
    return m_tempFiles->urls();
}

CDRWebViewContainer *Document::webViewContainer() const
{
    return m_ui ? m_ui->webViewContainer : nullptr;
}

QWebEngineView *Document::webView() const
{
    return m_ui ? m_ui->webView : nullptr;
}

double Document::magnification() const
{
    return m_ui ? m_ui->webViewContainer->magnification() : 1.0;
}

QSize Document::preferredWindowSize(const QRect &available) const
{
    if (!m_ui)
        return {};
    const PageLayout &layout = m_ui->webViewContainer->pageLayout();
    // The first page as the view shows it at magnification 1, with room
    // around it and for a scroll bar; as tall as all pages together.
    QSizeF page = m_firstPageSize;
    double pagesHeight = page.height();
    if (!layout.isEmpty()) {
        page = layout.pages.first().rect.size() / layout.magnification;
        pagesHeight = layout.pages.last().rect.bottom() / layout.magnification;
    }
    const double room = 2 * layout.gap + layout.scrollbar;
    int width = int(std::ceil(page.width() + room));
    int height = int(std::ceil(pagesHeight + room));
    if (m_ui->actionShowThumbnails->isChecked())
        width += m_ui->thumbnailsPanel->sizeHint().width();
    height += m_window->menuBar()->sizeHint().height() + m_ui->topBar->sizeHint().height() +
              m_ui->statusBar->sizeHint().height();
    // Never narrower than the bar of controls, nor larger than most of
    // the screen.
    const QSize smallest(std::max(640, m_ui->topBar->sizeHint().width()), 480);
    const QSize largest = (available.size() * 0.9).expandedTo(smallest);
    return QSize(width, height).expandedTo(smallest).boundedTo(largest);
}

void Document::makeWindowControllers()
{
    if (m_window)
        return;
    m_window = std::make_unique<QMainWindow>();
    m_ui = std::make_unique<Ui::Document>();
    m_ui->setupUi(m_window.get());
    m_window->setWindowTitle(displayName());
    m_window->setWindowFilePath(m_fileURL.toLocalFile());
    m_window->installEventFilter(this);
    m_ui->loadingPanel->setWindowTitle(displayName());
    m_ui->loadingPanel->setContentView(m_ui->loadingPanelContent);

    CDRWebViewContainer *container = m_ui->webViewContainer;
    container->setWebView(m_ui->webView);
    connect(container, &CDRWebViewContainer::documentViewChanged, this, &Document::onPageLoaded);
    connect(container, &CDRWebViewContainer::wheelZoomRequested, this, &Document::wheelZoom);
    connect(m_ui->webView->page(), &QWebEnginePage::loadingChanged, this,
            &Document::onLoadingChanged);

    connect(m_ui->zoomSliderButton, &QAbstractSlider::valueChanged, this,
            &Document::scaleSliderAction);
    connect(m_ui->zoomInButton, &QAbstractButton::clicked, this, &Document::zoomIn);
    connect(m_ui->zoomOutButton, &QAbstractButton::clicked, this, &Document::zoomOut);
    connect(m_ui->actualSizeButton, &QAbstractButton::clicked, this, &Document::zoomToFit);
    connect(m_ui->actionZoomIn, &QAction::triggered, this, &Document::zoomIn);
    connect(m_ui->actionZoomOut, &QAction::triggered, this, &Document::zoomOut);
    connect(m_ui->actionActualSize, &QAction::triggered, this, &Document::zoomToFit);
    connect(m_ui->actionClose, &QAction::triggered, this, &Document::close);
    // Ctrl with the plus key, with or without Shift.
    m_ui->actionZoomIn->setShortcuts(
        {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    m_ui->actionZoomOut->setShortcuts(QKeySequence::ZoomOut);

    connect(m_ui->actionFitPage, &QAction::triggered, this, &Document::fitPage);
    connect(m_ui->actionFitWidth, &QAction::triggered, this, &Document::fitWidth);
    connect(m_ui->actionFitContent, &QAction::triggered, this, &Document::fitContent);
    connect(container, &CDRWebViewContainer::viewResized, this, [this] {
        if (m_fit)
            applyFit(*m_fit);
    });
    // F11 everywhere, and whatever else the platform uses.
    QList<QKeySequence> fullScreen = QKeySequence::keyBindings(QKeySequence::FullScreen);
    fullScreen.removeAll(QKeySequence(Qt::Key_F11));
    fullScreen.prepend(QKeySequence(Qt::Key_F11));
    m_ui->actionFullScreen->setShortcuts(fullScreen);
    connect(m_ui->actionFullScreen, &QAction::toggled, this, &Document::toggleFullScreen);
    m_pageNavigation = std::make_unique<PageNavigation>(*m_ui, *container);
    setUpMagnificationBox();

    // windowControllerDidLoadNib
    showLoadingPanel();
}

void Document::showWindows()
{
    makeWindowControllers();
    emit windowsPrepared();
}

void Document::showLoadingPanel()
{
    auto cell = std::make_unique<WhiteIntermProgIndicator>();
    m_spinner = cell.get();
    m_spinner->setParentControl(m_ui->loadingControl);
    m_ui->loadingControl->setCell(std::move(cell));
    m_ui->loadingDocumentName->setText(displayName());
    HUDWindow *panel = m_ui->loadingPanel;
    centerWindow(panel);
    // Panels do not hide with an inactive application on this platform.
    panel->show();
    panel->raise();
    m_spinner->setSpinning(true);
}

void Document::hideLoadingPanel()
{
    closeLoadingPanel();
    emit loadingPanelHidden();
}

void Document::closeLoadingPanel()
{
    if (!m_ui)
        return;
    m_spinner->setSpinning(false);
    m_ui->loadingPanel->hide();
}

void Document::showDocumentWindow()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void Document::close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (auto operation = m_loadOperation.lock())
        operation->cancel();
    m_showWhenDrawn = false;
    closeLoadingPanel();
    if (m_window)
        m_window->hide();
    emit closed(this);
}

void Document::cdrLoadOperationWillStart(CDRLoadOperation *)
{
    // The operation records the image files of the conversion in the list
    // it shares with the document.
    emit conversionStarted();
}

void Document::cdrLoadOperationDidFinish(CDRLoadOperation *operation)
{
    if (!m_ui || !operation->convertor()) {
        hideLoadingPanel();
        showDocumentWindow();
        emit conversionEnded(true);
        return;
    }
    // The load attempt is over, and counts now; but the web view takes a
    // while to draw a large drawing (longer still when it starts for the
    // first time), so the loading panel stays, and the document window
    // waits, until the pages are drawn or have failed to load.
    emit loadingPanelHidden();
    m_showWhenDrawn = true;
    emit conversionEnded(true);
    if (m_pageURL.isValid())
        m_pages.withdraw(m_pageURL);
    const QByteArray &pages = operation->convertor()->svgData();
    m_firstPageSize = PageDocument::pageSize(PageDocument::pages(pages).value(0));
    m_pageURL = m_pages.publish(pages);
    m_pageNavigation->showThumbnails(pages);
    m_ui->webView->load(m_pageURL);
}

void Document::onPageLoaded(bool ok)
{
    if (m_showWhenDrawn) {
        m_showWhenDrawn = false;
        closeLoadingPanel();
        emit windowAboutToShow(this);
        showDocumentWindow();
        // The keyboard goes to the drawing: arrows and page keys move it.
        m_ui->webView->setFocus(Qt::OtherFocusReason);
        if (ok)
            applyFirstView();
    }
    emit pageLoadFinished(ok);
}

void Document::applyFirstView()
{
    // A drawing whose page holds nothing of what is drawn (all of it lies
    // beside the page) would show an empty page: it shows what is drawn.
    const PageLayout &layout = m_ui->webViewContainer->pageLayout();
    if (layout.isEmpty() || m_firstPageSize.isEmpty())
        return;
    const std::optional<QRectF> &content = layout.pages.first().content;
    if (content && !content->intersects(QRectF(QPointF(0, 0), m_firstPageSize)))
        fitContent();
}

void Document::cdrLoadOperationDidFailWithError(const Error &error)
{
    hideLoadingPanel();
    emit conversionEnded(false);
    // A failure without an error still has to tell the user something.
    m_alerts->presentError(error.isNull() ? Error::withDescription(Error::CocoaErrorDomain,
                                                                   CDR2SVG::ConversionFailedError,
                                                                   CDR2SVG::CannotOpenMessage)
                                          : error);
    close();
}

void Document::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    const QString frame = info.url().toString();
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        systemLog(QStringLiteral("didStartProvisionalLoadForFrame: %1").arg(frame));
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        systemLog(QStringLiteral("didFinishLoadForFrame: %1").arg(frame));
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // Pages come from memory, so a failure always happens before the
        // page is committed.
        systemLog(QStringLiteral("didFailProvisionalLoadWithError: %1").arg(frame));
        m_alerts->presentError(Error(WebViewErrorDomain, info.errorCode(),
                                     {{Error::LocalizedDescriptionKey, info.errorString()}}));
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        break;
    }
}

void Document::setMagnification(double magnification, std::optional<QPointF> anchor)
{
    m_fit.reset();
    if (!m_ui)
        return;
    m_ui->webViewContainer->setMagnification(magnification, anchor);
    showMagnification();
}

void Document::scaleSliderAction()
{
    if (!m_ui)
        return;
    const float value = float(m_ui->zoomSliderButton->value()) / float(SliderStepsPerUnit);
    setMagnification(std::pow(4.0, double(value)));
}

void Document::zoomIn()
{
    zoomBy(0.5f, std::nullopt);
}

void Document::zoomOut()
{
    zoomBy(-0.5f, std::nullopt);
}

void Document::wheelZoom(int steps, const QPointF &at)
{
    // Each notch is one zoom command, about the point under the pointer.
    for (int i = 0; i < std::abs(steps); ++i)
        zoomBy(steps > 0 ? 0.5f : -0.5f, at);
}

void Document::zoomBy(float change, std::optional<QPointF> anchor)
{
    m_zoom += change;
    setMagnification(std::pow(4.0, double(m_zoom)), anchor);
    systemLog(QString::asprintf("zoom: %f", double(m_zoom)));
}

void Document::zoomToFit()
{
    setMagnification(1.0);
    m_zoom = 0.0f;
}

void Document::fitPage()
{
    applyFit(PageLayout::Fit::Page);
}

void Document::fitWidth()
{
    applyFit(PageLayout::Fit::Width);
}

void Document::fitContent()
{
    applyFit(PageLayout::Fit::Content);
}

void Document::applyFit(PageLayout::Fit fit)
{
    if (!m_ui)
        return;
    CDRWebViewContainer *container = m_ui->webViewContainer;
    const PageLayout &layout = container->pageLayout();
    const int page = std::max(0, m_pageNavigation->currentPage());
    const QSizeF view = m_ui->webView->size();
    std::optional<double> magnification = layout.fitMagnification(page, fit, view);
    // A page with nothing drawn on it shows whole.
    PageLayout::Fit applied = fit;
    if (!magnification && fit == PageLayout::Fit::Content) {
        applied = PageLayout::Fit::Page;
        magnification = layout.fitMagnification(page, applied, view);
    }
    if (!magnification || !container->hasDocumentView())
        return;
    const QRectF frame = layout.pages[page].rect;
    QPointF fractions, at;
    switch (applied) {
    case PageLayout::Fit::Page:
        // The whole page, below the room at the top.
        fractions = {0.5, 0.0};
        at = {view.width() / 2, layout.gap};
        break;
    case PageLayout::Fit::Width:
        // Whatever of the page was at the top of the view stays there.
        fractions = {0.5, (layout.scroll.y() - frame.y()) / frame.height()};
        at = {view.width() / 2, 0.0};
        break;
    case PageLayout::Fit::Content: {
        const QPointF middle = layout.pages[page].visibleContent().center();
        fractions = {(middle.x() - frame.x()) / frame.width(),
                     (middle.y() - frame.y()) / frame.height()};
        at = {view.width() / 2, view.height() / 2};
        break;
    }
    }
    m_zoom = zoomFor(*magnification);
    container->setMagnification(*magnification, page, fractions, at);
    m_fit = fit;
    showMagnification();
}

void Document::setMagnificationPercent(double percent)
{
    if (!(percent > 0))
        return;
    m_zoom = zoomFor(percent / 100.0);
    setMagnification(percent / 100.0);
}

void Document::toggleFullScreen(bool on)
{
    if (!m_window)
        return;
    if (on)
        m_window->showFullScreen();
    else
        m_window->showNormal();
}

void Document::setUpMagnificationBox()
{
    QComboBox *box = m_ui->magnificationBox;
    box->addItem(tr("Fit Page"), QVariant::fromValue(int(PageLayout::Fit::Page)));
    box->addItem(tr("Fit Width"), QVariant::fromValue(int(PageLayout::Fit::Width)));
    box->addItem(tr("Fit Content"), QVariant::fromValue(int(PageLayout::Fit::Content)));
    for (int i = 0; i < box->count(); ++i)
        box->setItemData(i, true, Qt::UserRole + 1);
    box->insertSeparator(box->count());
    for (const int percent : PercentChoices)
        box->addItem(tr("%1%").arg(QLocale().toString(percent)), double(percent));
    connect(box, &QComboBox::activated, this, [this, box](int index) {
        const QVariant choice = box->itemData(index);
        if (box->itemData(index, Qt::UserRole + 1).toBool())
            applyFit(PageLayout::Fit(choice.toInt()));
        else if (choice.isValid())
            setMagnificationPercent(choice.toDouble());
        showMagnification();
    });
    connect(box->lineEdit(), &QLineEdit::editingFinished, this, &Document::onMagnificationEdited);
    showMagnification();
}

void Document::onMagnificationEdited()
{
    QString text = m_ui->magnificationBox->currentText();
    text.remove(QLatin1Char('%'));
    bool ok = false;
    const double percent = QLocale().toDouble(text.trimmed(), &ok);
    if (ok && percent > 0 && !qFuzzyCompare(percent, magnification() * 100.0))
        setMagnificationPercent(percent);
    showMagnification();
}

void Document::showMagnification()
{
    if (!m_ui)
        return;
    const double percent = magnification() * 100.0;
    //: A magnification in percent, as in "150%".
    const QString text = tr("%1%").arg(QLocale().toString(percent, 'f', percent < 10.0 ? 1 : 0));
    m_ui->magnificationBox->setEditText(text);
    emit magnificationChanged(magnification());
}

bool Document::eventFilter(QObject *watched, QEvent *event)
{
    // Closing the document window closes the document.
    if (watched == m_window.get() && event->type() == QEvent::Close && !m_closed) {
        close();
        return false;
    }
    return QObject::eventFilter(watched, event);
}
