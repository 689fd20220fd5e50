#pragma once

#include "foundation/Error.h"
#include "viewer/AlertPresenter.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <mutex>

class Document;
class QWidget;

QString drawing(const QString &name);

// Records presented errors instead of showing them.
class RecordingAlertPresenter : public AlertPresenter
{
public:
    void presentError(const Error &error) override { errors.append(error); }
    QList<Error> errors;
};

// Waits (bounded) until the document's pages have loaded; false on failure.
bool waitForPage(Document &document, int timeoutMs = 120000);
// A picture of the widget once it has stopped changing.
QImage settledPicture(QWidget &widget);
// Pixels that are clearly not white.
int inkPixels(const QImage &image);
// Runs the deferred deletions of closed documents.
void deleteClosedDocuments();

// Records the image files that conversions write, and lets a test act on
// the main thread when the first one has been written, while the
// conversion waits: whatever it does happens in the middle of the
// conversion.
class ImageFileWatch
{
public:
    explicit ImageFileWatch(std::function<void()> atFirstImage = {});
    ~ImageFileWatch();
    ImageFileWatch(const ImageFileWatch &) = delete;
    ImageFileWatch &operator=(const ImageFileWatch &) = delete;

    QList<QUrl> files() const;
    // The files still on disk.
    QList<QUrl> remaining() const;

private:
    std::function<void()> m_atFirstImage;
    mutable std::mutex m_mutex;
    QList<QUrl> m_files;
};

// Waits until no conversion is queued or running; false on timeout.
bool waitForConversions();
