#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class Document;
class DocumentController;

// Opens one drawing, waits until its page has loaded, its scripts have run
// and the picture has settled, and writes the web view as a PNG file, with
// a page larger than the view shrunk to fit. For thumbnails and tests.
class DocumentSnapshot : public QObject
{
    Q_OBJECT
public:
    DocumentSnapshot(DocumentController &controller, QString outputPath, QObject *parent = nullptr);

    // Starts; finished() follows with the exit status (0 when written).
    void start(const QString &drawingPath, int timeoutMilliseconds = 180000);

signals:
    void finished(int status);

private:
    void onPageLoaded(bool ok);
    void pollFrames();
    void fitPage();
    void pollPicture();
    void finish(int status, const QString &message = {});

    DocumentController &m_controller;
    QString m_outputPath;
    QPointer<Document> m_document;
    QTimer m_poll;
    QTimer m_timeout;
    QImage m_lastPicture;
    int m_settleChecks = 0;
    int m_unchangedPolls = 0;
    bool m_fitted = false;
    bool m_done = false;
};
