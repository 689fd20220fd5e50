#include "ViewerTestSupport.h"

#include "viewer/Document.h"

#include <QCoreApplication>
#include <QEvent>
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
