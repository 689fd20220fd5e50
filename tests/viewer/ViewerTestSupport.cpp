#include "ViewerTestSupport.h"

#include "conversion/ConversionQueue.h"
#include "conversion/TMPManager.h"
#include "foundation/MainThread.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"
#include "viewer/Document.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTest>
#include <QWidget>

QString drawing(const QString &name)
{
    return QStringLiteral(QUILLMOOR_CORPUS_DIR "/") + name;
}

bool waitForPage(Document &document, int timeoutMs)
{
    bool finished = false, ok = false;
    const QMetaObject::Connection connection =
        QObject::connect(&document, &Document::pageLoadFinished, &document, [&](bool result) {
            finished = true;
            ok = result;
        });
    // A timeout shows up as a page that did not load.
    static_cast<void>(QTest::qWaitFor([&] { return finished || document.isClosed(); }, timeoutMs));
    QObject::disconnect(connection);
    return ok;
}

QImage settledPicture(QWidget &widget)
{
    QImage last;
    int unchanged = 0;
    for (int i = 0; i < 100 && unchanged < 3; ++i) {
        QTest::qWait(100);
        const QImage picture = widget.grab().toImage();
        unchanged = picture == last ? unchanged + 1 : 0;
        last = picture;
    }
    return last;
}

int inkPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qGray(image.pixel(x, y)) < 200 ? 1 : 0;
    return count;
}

void deleteClosedDocuments()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

ImageFileWatch::ImageFileWatch(std::function<void()> atFirstImage)
    : m_atFirstImage(std::move(atFirstImage))
{
    NotificationCenter::defaultCenter().addObserver(
        TMPManager::DidSaveFileNotification, nullptr, this, [this](const Notification &n) {
            bool first = false;
            {
                std::lock_guard lock(m_mutex);
                m_files.append(n.userInfo.value(TMPManager::FilePathKey).toUrl());
                first = m_files.size() == 1;
            }
            if (first && m_atFirstImage)
                runOnMainThreadAndWait(m_atFirstImage);
        });
}

ImageFileWatch::~ImageFileWatch()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

QList<QUrl> ImageFileWatch::files() const
{
    std::lock_guard lock(m_mutex);
    return m_files;
}

QList<QUrl> ImageFileWatch::remaining() const
{
    QList<QUrl> left;
    for (const QUrl &url : files())
        if (QFile::exists(url.toLocalFile()))
            left.append(url);
    return left;
}

bool waitForConversions()
{
    return QTest::qWaitFor([] { return conversionQueue().operationCount() == 0; }, 120000);
}
