#pragma once

#include "PageLayout.h"
#include "conversion/CDRLoadOperation.h"
#include "foundation/Error.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QUrl>

#include <memory>
#include <optional>

class AlertPresenter;
class DrawingConverter;
class CDRWebViewContainer;
class OperationQueue;
class PageNavigation;
class PageSchemeHandler;
class QMainWindow;
class QWebEngineLoadingInfo;
class QWebEngineView;
class TemporaryFiles;
class UsageCounter;
class WhiteIntermProgIndicator;
namespace Ui {
class Document;
}

// One open drawing: converts the file in the background behind a loading
// panel, then shows the pages in its window, or presents the error and
// closes. Deletes the temporary image files of its conversion when it goes
// away; its conversion goes on removing those it writes after that. It never
// edits or saves anything.
class Document : public QObject, public CDRLoadOperationDelegate
{
    Q_OBJECT
public:
    // The slider's integer positions per unit of its value.
    static constexpr int SliderStepsPerUnit = 10;

    Document(PageSchemeHandler &pages, std::shared_ptr<AlertPresenter> alerts,
             QObject *parent = nullptr);
    ~Document() override;

    // The process-wide queue that converts one drawing at a time.
    static OperationQueue &convertOperationQueue();

    // Queues the conversion of the file. The file is not looked at here: a
    // file that cannot be converted is reported when the conversion ends.
    bool readFromURL(const QUrl &url);
    // Loads the window layout and puts the loading panel on screen.
    void makeWindowControllers();
    // Prepares the windows without showing any; the document window stays
    // hidden until the conversion has succeeded.
    void showWindows();
    void showLoadingPanel();
    void hideLoadingPanel();
    void showDocumentWindow();
    // Hides the windows and asks the owner to dispose of the document. A
    // conversion still waiting in the queue is dropped; one that runs tells
    // the document nothing more.
    void close();
    bool isClosed() const { return m_closed; }

    QUrl fileURL() const { return m_fileURL; }
    // The name the windows show: the file's name unless given another.
    QString displayName() const;
    void setDisplayName(const QString &name);
    QList<QUrl> tempURLs() const;
    // The converter of the file: CDR2SVG, or CMX2SVG for an exchange file.
    std::shared_ptr<DrawingConverter> cdr2svgConvertor() const { return m_cdr2svgConvertor; }

    // The layout's objects, once makeWindowControllers() has run.
    Ui::Document *ui() const { return m_ui.get(); }
    QMainWindow *windowForSheet() const { return m_window.get(); }
    CDRWebViewContainer *webViewContainer() const;
    QWebEngineView *webView() const;
    WhiteIntermProgIndicator *spinner() const { return m_spinner; }
    // The loaded-drawings counter, its prompt panels and popovers.
    UsageCounter *usageCounter() const { return m_usageCounter.get(); }

    float zoom() const { return m_zoom; }
    double magnification() const;
    // The fit the view keeps while it changes size, if any: set by the fit
    // commands, ended by any other change of magnification.
    std::optional<PageLayout::Fit> fit() const { return m_fit; }
    // The pages: the current one, their count, moving between them.
    PageNavigation *pageNavigation() const { return m_pageNavigation.get(); }

    // The size the document window takes at first: room for the first
    // page at its natural size, within the given screen area.
    QSize preferredWindowSize(const QRect &available) const;

    void cdrLoadOperationWillStart(CDRLoadOperation *operation) override;
    void cdrLoadOperationDidFinish(CDRLoadOperation *operation) override;
    void cdrLoadOperationDidFailWithError(const Error &error) override;

public slots:
    // The zoom commands keep the middle of the view in place.
    void scaleSliderAction();
    void zoomIn();
    void zoomOut();
    void zoomToFit();
    // Ctrl and the wheel: zoom commands about the point under the pointer.
    void wheelZoom(int steps, const QPointF &at);
    // The current page, its width, or what is drawn on it, as large as the
    // view allows; kept while the view changes size. Each sets the zoom
    // value to the magnification's exponent, so that zooming in and out
    // goes on from there.
    void fitPage();
    void fitWidth();
    void fitContent();
    // Magnification in percent, as typed in the magnification field.
    void setMagnificationPercent(double percent);
    void toggleFullScreen(bool on);

signals:
    // Hooks, each connected directly so that it runs at the stated moment:
    // the windows are prepared (the document window still hidden)...
    void windowsPrepared();
    // ...a load attempt has ended, successful or not, before the document
    // window appears or the error is presented. After a failure the loading
    // panel has closed; after a conversion it stays until the pages are
    // drawn.
    void loadingPanelHidden();

    void conversionStarted();
    void conversionEnded(bool ok);
    // The web view finished loading the pages, or failed to.
    void pageLoadFinished(bool ok);
    // The document window is about to appear for the first time; its size
    // and place may still change.
    void windowAboutToShow(Document *document);
    // The magnification changed (by any command, fits included, once the
    // page has taken it).
    void magnificationChanged(double magnification);
    // The document wants to go away; its owner deletes it.
    void closed(Document *document);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void closeLoadingPanel();
    void onPageLoaded(bool ok);
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void setMagnification(double magnification, std::optional<QPointF> anchor = {});
    void zoomBy(float change, std::optional<QPointF> anchor);
    void applyFit(PageLayout::Fit fit);
    void applyFirstView();
    void setUpMagnificationBox();
    void showMagnification();
    void onMagnificationEdited();

    PageSchemeHandler &m_pages;
    std::shared_ptr<AlertPresenter> m_alerts;
    QUrl m_fileURL;
    QString m_displayName;
    std::shared_ptr<DrawingConverter> m_cdr2svgConvertor;
    std::weak_ptr<CDRLoadOperation> m_loadOperation;
    // Shared with the conversion, which may still be adding files to it
    // after the document has gone.
    std::shared_ptr<TemporaryFiles> m_tempFiles;
    std::unique_ptr<Ui::Document> m_ui;
    std::unique_ptr<QMainWindow> m_window;
    WhiteIntermProgIndicator *m_spinner = nullptr;
    QUrl m_pageURL;
    // The first page's size as the drawing gives it.
    QSizeF m_firstPageSize;
    float m_zoom = 0.0f;
    std::optional<PageLayout::Fit> m_fit;
    std::unique_ptr<PageNavigation> m_pageNavigation;
    bool m_closed = false;
    // Converted: the window shows, and the loading panel goes, once the
    // pages are drawn.
    bool m_showWhenDrawn = false;
    // Last, so that it goes while the window it works on still exists.
    std::unique_ptr<UsageCounter> m_usageCounter;
};
