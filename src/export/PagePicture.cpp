#include "PagePicture.h"

#include "foundation/Log.h"

#include <QCoreApplication>

#include <cairo.h>
#include <librsvg/rsvg.h>

struct PagePicture::Handle
{
    ~Handle() { g_object_unref(rsvg); }
    RsvgHandle *rsvg;
};

namespace {

// The size librsvg lays a page out in when the page gives none; the view
// box of the drawn area makes it irrelevant.
constexpr double FallbackPageSide = 612;

Error pageError(const QString &detail)
{
    systemLog(QStringLiteral("Page cannot be drawn: %1").arg(detail));
    return Error::withDescription(
        DrawingPages::ErrorDomain, PagePicture::UnreadablePageError,
        QCoreApplication::translate("PagePicture", "A page of the drawing cannot be drawn."));
}

QString takeMessage(GError *error)
{
    const QString message =
        error ? QString::fromUtf8(error->message) : QStringLiteral("unknown failure");
    if (error)
        g_error_free(error);
    return message;
}

} // namespace

PagePicture::PagePicture(const DrawingPages::Page &page, std::unique_ptr<Handle> handle)
    : m_page(page)
    , m_handle(std::move(handle))
{}

PagePicture::~PagePicture() = default;

namespace {

RsvgHandle *loadSvg(const QByteArray &svg, GError **error)
{
    GInputStream *stream =
        g_memory_input_stream_new_from_data(svg.constData(), svg.size(), nullptr);
    // Pages embed their bitmaps, which may be larger than the XML parser
    // takes by default; they come from our own generator.
    RsvgHandle *rsvg = rsvg_handle_new_from_stream_sync(stream, nullptr, RSVG_HANDLE_FLAG_UNLIMITED,
                                                        nullptr, error);
    g_object_unref(stream);
    return rsvg;
}

} // namespace

std::unique_ptr<PagePicture> PagePicture::load(const DrawingPages::Page &page, Error *error)
{
    // Measured on the outline, drawn from the page framed to the measure.
    GError *gerror = nullptr;
    RsvgHandle *outline = loadSvg(page.outlineSvg(), &gerror);
    if (!outline) {
        if (error)
            *error = pageError(takeMessage(gerror));
        return nullptr;
    }
    const Handle outlineHandle{outline};
    const QSizeF size =
        page.pageSize.isEmpty() ? QSizeF(FallbackPageSide, FallbackPageSide) : page.pageSize;
    const RsvgRectangle viewport{0, 0, size.width(), size.height()};
    RsvgRectangle ink{};
    RsvgRectangle logical{};
    const QByteArray content = '#' + DrawingPages::ContentId;
    if (!rsvg_handle_get_geometry_for_layer(outline, content.constData(), &viewport, &ink, &logical,
                                            &gerror)) {
        if (error)
            *error = pageError(takeMessage(gerror));
        return nullptr;
    }
    const QRectF drawn(ink.x, ink.y, ink.width, ink.height);
    const QRectF bounds = drawn.isEmpty() ? QRectF(QPointF(0, 0), size) : drawn;

    RsvgHandle *rsvg = loadSvg(page.svg(bounds), &gerror);
    if (!rsvg) {
        if (error)
            *error = pageError(takeMessage(gerror));
        return nullptr;
    }
    std::unique_ptr<PagePicture> picture(new PagePicture(page, std::make_unique<Handle>(rsvg)));
    picture->m_bounds = bounds;
    return picture;
}

bool PagePicture::render(cairo_t *context, double scale) const
{
    const RsvgRectangle viewport{0, 0, m_bounds.width() * scale, m_bounds.height() * scale};
    GError *gerror = nullptr;
    if (!rsvg_handle_render_document(m_handle->rsvg, context, &viewport, &gerror)) {
        systemLog(QStringLiteral("Page cannot be drawn: %1").arg(takeMessage(gerror)));
        return false;
    }
    return cairo_status(context) == CAIRO_STATUS_SUCCESS;
}

QImage PagePicture::image(QSize size, double scale, const QColor &background) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(background);
    cairo_surface_t *surface =
        cairo_image_surface_create_for_data(image.bits(), CAIRO_FORMAT_ARGB32, image.width(),
                                            image.height(), int(image.bytesPerLine()));
    cairo_t *context = cairo_create(surface);
    const bool drawn = render(context, scale);
    cairo_destroy(context);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return drawn ? image : QImage();
}
