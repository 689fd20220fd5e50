#pragma once

#include "DrawingPages.h"

#include <QColor>
#include <QImage>
#include <QRectF>

#include <memory>

typedef struct _cairo cairo_t;

// One page loaded into librsvg, ready to be drawn at any scale. What is
// drawn is the area that the page's drawing covers (strokes and shadows
// included), as the viewer sizes each page to its drawing; a page with
// nothing drawn shows its page area. Lengths are in points.
class PagePicture
{
public:
    static constexpr int UnreadablePageError = 2;

    // Nothing (with *error set) when librsvg cannot read the page.
    static std::unique_ptr<PagePicture> load(const DrawingPages::Page &page, Error *error);
    ~PagePicture();
    PagePicture(const PagePicture &) = delete;
    PagePicture &operator=(const PagePicture &) = delete;

    QRectF bounds() const { return m_bounds; }
    // The page as an SVG document of the drawn area.
    QByteArray svg() const { return m_page.svg(m_bounds); }

    // Draws the area onto the context with its top left at the origin, at
    // `scale` device units per point; false when cairo or librsvg failed.
    bool render(cairo_t *context, double scale) const;
    // A picture of `size` pixels holding the area at `scale` pixels per
    // point over the background; null when it could not be drawn.
    QImage image(QSize size, double scale, const QColor &background) const;

private:
    struct Handle;
    PagePicture(const DrawingPages::Page &page, std::unique_ptr<Handle> handle);

    DrawingPages::Page m_page;
    std::unique_ptr<Handle> m_handle;
    QRectF m_bounds;
};
