#include "PageThumbnails.h"

#include "conversion/PageDocument.h"

#include <QListWidget>
#include <QPainter>
#include <QPromise>
#include <QScrollBar>
#include <QStyle>
#include <QSvgRenderer>
#include <QtConcurrent>

namespace {

QSize pictureSize(const QRectF &shown, qreal ratio)
{
    const double aspect = shown.width() > 0 ? shown.height() / shown.width() : 1.0;
    const int height =
        std::clamp(int(std::lround(PageThumbnails::Width * aspect)), 8, 2 * PageThumbnails::Width);
    return QSize(PageThumbnails::Width, height) * ratio;
}

} // namespace

PageThumbnails::PageThumbnails(QListWidget &list, QObject *parent)
    : QObject(parent)
    , m_list(list)
{
    connect(&m_watcher, &QFutureWatcher<QImage>::resultReadyAt, this, &PageThumbnails::takePicture);
    connect(&m_watcher, &QFutureWatcher<QImage>::finished, this, &PageThumbnails::finished);
    // Room for a picture, the gaps beside it and a scroll bar.
    list.setMinimumWidth(Width + 4 * list.spacing() + 2 * list.frameWidth() +
                         list.style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

PageThumbnails::~PageThumbnails()
{
    m_watcher.cancel();
    m_watcher.waitForFinished();
}

QImage PageThumbnails::draw(const QByteArray &page, const QRectF &shown, const QSize &pixels)
{
    QImage picture(pixels, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QSvgRenderer renderer(page);
    if (!renderer.isValid())
        return picture;
    if (!shown.isEmpty())
        renderer.setViewBox(shown);
    QPainter painter(&picture);
    renderer.render(&painter);
    return picture;
}

void PageThumbnails::show(const QByteArray &pageDocument, const QList<QRectF> &shown)
{
    m_watcher.cancel();
    m_watcher.waitForFinished();
    m_list.clear();
    const QList<QByteArray> pages = PageDocument::pages(pageDocument);
    m_count = int(pages.size());
    const qreal ratio = m_list.devicePixelRatioF();
    QList<QSize> sizes;
    int widest = 0, tallest = 0;
    for (int i = 0; i < m_count; ++i) {
        const QRectF box = i < shown.size() ? shown[i] : QRectF();
        sizes.append(pictureSize(box, ratio));
        QPixmap blank(sizes.last());
        blank.setDevicePixelRatio(ratio);
        blank.fill(Qt::white);
        auto *item = new QListWidgetItem(QIcon(blank), QString::number(i + 1), &m_list);
        item->setTextAlignment(Qt::AlignHCenter);
        //: The accessible name of a page's picture in the list of pages.
        item->setData(Qt::AccessibleTextRole, tr("Page %1").arg(i + 1));
        widest = std::max(widest, int(sizes.last().width() / ratio));
        tallest = std::max(tallest, int(sizes.last().height() / ratio));
    }
    m_list.setIconSize(QSize(widest, tallest));

    // The pages share the bytes of the document, which the work keeps.
    m_watcher.setFuture(
        QtConcurrent::run([pageDocument, pages, shown, sizes, ratio](QPromise<QImage> &promise) {
            for (qsizetype i = 0; i < pages.size(); ++i) {
                if (promise.isCanceled())
                    return;
                QImage picture = draw(pages[i], i < shown.size() ? shown[i] : QRectF(), sizes[i]);
                picture.setDevicePixelRatio(ratio);
                promise.addResult(std::move(picture), int(i));
            }
        }));
}

void PageThumbnails::takePicture(int index)
{
    QListWidgetItem *item = m_list.item(index);
    if (item)
        item->setIcon(QIcon(QPixmap::fromImage(m_watcher.resultAt(index))));
}
