#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>

class QListWidget;

// Fills a list with small pictures of a drawing's pages, one item per
// page. The pictures are drawn away from the main thread and arrive one
// by one; until then an item shows a blank page.
class PageThumbnails : public QObject
{
    Q_OBJECT
public:
    // The width of a picture, in pixels of the screen.
    static constexpr int Width = 120;

    explicit PageThumbnails(QListWidget &list, QObject *parent = nullptr);
    // Stops drawing; waits for the picture being drawn.
    ~PageThumbnails() override;

    // Draws the pages of the page document; `shown` is the part of each
    // page's own coordinates that the view shows of it.
    void show(const QByteArray &pageDocument, const QList<QRectF> &shown);
    int count() const { return m_count; }
    bool isDrawing() const { return m_watcher.isRunning(); }

    // A picture of one page's SVG text at the given size.
    static QImage draw(const QByteArray &page, const QRectF &shown, const QSize &pixels);

signals:
    // All pictures are in the list.
    void finished();

private:
    void takePicture(int index);

    QListWidget &m_list;
    QFutureWatcher<QImage> m_watcher;
    int m_count = 0;
};
