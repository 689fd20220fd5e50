#include "Document.h"

#include "AlertPresenter.h"
#include "CDRWebViewContainer.h"
#include "PageSchemeHandler.h"
#include "UsageCounter.h"
#include "controls/CenterWindow.h"
#include "controls/HUDWindow.h"
#include "controls/WhiteIntermProgIndicator.h"
#include "conversion/CDR2SVG.h"
#include "conversion/ConversionQueue.h"
#include "conversion/TemporaryFiles.h"
#include "foundation/Log.h"
#include "foundation/OperationQueue.h"
#include "ui_Document.h"

#include <QFileInfo>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

#include <cmath>
#include <cstdlib>

namespace {
const QString WebViewErrorDomain = QStringLiteral("QuillmoorWebViewErrorDomain");
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
    m_pageURL = m_pages.publish(operation->convertor()->svgData());
    m_ui->webView->load(m_pageURL);
}

void Document::onPageLoaded(bool ok)
{
    if (m_showWhenDrawn) {
        m_showWhenDrawn = false;
        closeLoadingPanel();
        showDocumentWindow();
    }
    emit pageLoadFinished(ok);
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
    if (m_ui)
        m_ui->webViewContainer->setMagnification(magnification, anchor);
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

bool Document::eventFilter(QObject *watched, QEvent *event)
{
    // Closing the document window closes the document.
    if (watched == m_window.get() && event->type() == QEvent::Close && !m_closed) {
        close();
        return false;
    }
    return QObject::eventFilter(watched, event);
}
