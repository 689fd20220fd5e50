#include "DocumentSnapshot.h"

#include "AlertPresenter.h"
#include "CDRWebViewContainer.h"
#include "Document.h"
#include "DocumentController.h"
#include "foundation/Error.h"

#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>

namespace {
// Errors go to standard error instead of a dialog that nobody answers.
class StandardErrorAlertPresenter : public AlertPresenter
{
public:
    void presentError(const Error &error) override
    {
        std::fprintf(stderr, "quillmoor: %s\n", qPrintable(error.localizedDescription()));
        if (const QString reason = error.localizedFailureReason(); !reason.isEmpty())
            std::fprintf(stderr, "quillmoor: %s\n", qPrintable(reason));
    }
};

constexpr int PollInterval = 100;
// The picture counts as settled when it stays the same over this many polls.
constexpr int SettledPolls = 3;
// Upper bound of the settling wait once the page has drawn.
constexpr int MaxSettleChecks = 100;
} // namespace

DocumentSnapshot::DocumentSnapshot(DocumentController &controller, QString outputPath,
                                   QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_outputPath(std::move(outputPath))
{
    m_poll.setInterval(PollInterval);
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this,
            [this] { finish(3, QStringLiteral("quillmoor: timed out waiting for the page")); });
}

void DocumentSnapshot::start(const QString &drawingPath, int timeoutMilliseconds)
{
    m_controller.setAlertPresenter(std::make_shared<StandardErrorAlertPresenter>());
    m_timeout.start(timeoutMilliseconds);
    m_document = m_controller.openDocument(drawingPath);
    connect(m_document, &Document::pageLoadFinished, this, &DocumentSnapshot::onPageLoaded);
    connect(m_document, &Document::closed, this, [this] { finish(1); });
}

void DocumentSnapshot::onPageLoaded(bool ok)
{
    if (!ok) {
        finish(1);
        return;
    }
    // Inline scripts have run by now; two animation frames later the sized
    // pages have been drawn at least once.
    m_document->webView()->page()->runJavaScript(
        QStringLiteral("window.__quillmoorFrames = 0;"
                       "requestAnimationFrame(function() { requestAnimationFrame(function() {"
                       " window.__quillmoorFrames = 2; }); });"));
    disconnect(&m_poll, nullptr, this, nullptr);
    connect(&m_poll, &QTimer::timeout, this, &DocumentSnapshot::pollFrames);
    m_poll.start();
}

void DocumentSnapshot::pollFrames()
{
    if (!m_document)
        return;
    QPointer<DocumentSnapshot> self(this);
    m_document->webView()->page()->runJavaScript(
        QStringLiteral("window.__quillmoorFrames"), [self](const QVariant &frames) {
            if (!self || self->m_done || frames.toInt() < 2)
                return;
            disconnect(&self->m_poll, nullptr, self, nullptr);
            if (self->m_fitted) {
                connect(&self->m_poll, &QTimer::timeout, self, &DocumentSnapshot::pollPicture);
                return;
            }
            self->fitPage();
        });
}

void DocumentSnapshot::fitPage()
{
    // A picture of the whole drawing is what a thumbnail needs: a page
    // larger than the view is shrunk to fit, a smaller one stays as it is.
    m_fitted = true;
    QPointer<DocumentSnapshot> self(this);
    m_document->webView()->page()->runJavaScript(
        QStringLiteral("(function() { var e = document.scrollingElement;"
                       " return Math.min(1, window.innerWidth / e.scrollWidth,"
                       " window.innerHeight / e.scrollHeight); })()"),
        [self](const QVariant &scale) {
            if (!self || self->m_done || !self->m_document)
                return;
            const double magnification = scale.toDouble();
            if (magnification > 0 && magnification < 1)
                self->m_document->webViewContainer()->setMagnification(magnification);
            self->onPageLoaded(true);
        });
}

void DocumentSnapshot::pollPicture()
{
    if (!m_document)
        return;
    const QImage picture = m_document->webView()->grab().toImage();
    ++m_settleChecks;
    if (!m_lastPicture.isNull() && picture == m_lastPicture)
        ++m_unchangedPolls;
    else
        m_unchangedPolls = 0;
    m_lastPicture = picture;
    if (m_unchangedPolls + 1 < SettledPolls && m_settleChecks < MaxSettleChecks)
        return;
    if (!picture.save(m_outputPath, "PNG")) {
        finish(4, QStringLiteral("quillmoor: cannot write %1").arg(m_outputPath));
        return;
    }
    finish(0);
}

void DocumentSnapshot::finish(int status, const QString &message)
{
    if (m_done)
        return;
    m_done = true;
    m_poll.stop();
    m_timeout.stop();
    if (!message.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(message));
    emit finished(status);
}
