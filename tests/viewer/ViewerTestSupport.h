#pragma once

#include "foundation/Error.h"
#include "viewer/AlertPresenter.h"

#include <QImage>
#include <QList>
#include <QString>

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
