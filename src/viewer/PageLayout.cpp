#include "PageLayout.h"

#include <algorithm>
#include <array>

namespace {

QRectF rectFrom(const QVariant &value)
{
    const QVariantList v = value.toList();
    if (v.size() != 4)
        return {};
    return {v[0].toDouble(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble()};
}

QPointF pointFrom(const QVariant &value)
{
    const QVariantList v = value.toList();
    return v.size() == 2 ? QPointF(v[0].toDouble(), v[1].toDouble()) : QPointF();
}

} // namespace

QRectF PageLayout::Page::visibleContent() const
{
    if (!content || shown.isEmpty())
        return {};
    const QRectF visible = content->intersected(shown);
    if (visible.isEmpty())
        return {};
    const double sx = rect.width() / shown.width();
    const double sy = rect.height() / shown.height();
    return {rect.x() + (visible.x() - shown.x()) * sx, rect.y() + (visible.y() - shown.y()) * sy,
            visible.width() * sx, visible.height() * sy};
}

PageLayout PageLayout::fromVariant(const QVariant &value)
{
    const QVariantMap map = value.toMap();
    PageLayout layout;
    const double magnification = map.value(QStringLiteral("magnification")).toDouble();
    if (magnification <= 0)
        return layout;
    layout.magnification = magnification;
    layout.scroll = pointFrom(map.value(QStringLiteral("scroll")));
    const QPointF view = pointFrom(map.value(QStringLiteral("view")));
    layout.view = QSizeF(view.x(), view.y());
    layout.gap = map.value(QStringLiteral("gap")).toDouble();
    layout.scrollbar = map.value(QStringLiteral("scrollbar")).toDouble();
    const QVariantList pages = map.value(QStringLiteral("pages")).toList();
    for (const QVariant &entry : pages) {
        const QVariantMap page = entry.toMap();
        Page p;
        p.rect = rectFrom(page.value(QStringLiteral("rect")));
        p.shown = rectFrom(page.value(QStringLiteral("shown")));
        const QVariant content = page.value(QStringLiteral("content"));
        if (content.toList().size() == 4)
            p.content = rectFrom(content);
        layout.pages.append(p);
    }
    return layout;
}

int PageLayout::currentPage(const QPointF &scrollPosition, const QSizeF &viewSize) const
{
    const double top = scrollPosition.y();
    const double bottom = top + viewSize.height();
    int best = -1;
    double bestShown = 0.0;
    for (int i = 0; i < pages.size(); ++i) {
        const QRectF &r = pages[i].rect;
        const double shown = std::min(bottom, r.bottom()) - std::max(top, r.top());
        // Pages out of view count by how far away they are.
        const double score = shown > 0 ? shown : shown - viewSize.height();
        if (best < 0 || score > bestShown + 0.5) {
            best = i;
            bestShown = score;
        }
    }
    return best;
}

QSizeF PageLayout::documentSize(double newMagnification) const
{
    const double scale = newMagnification / magnification;
    double width = 0.0, height = gap;
    for (const Page &page : pages) {
        width = std::max(width, page.rect.width() * scale);
        height += page.rect.height() * scale + gap;
    }
    return {width + 2 * gap, height};
}

std::optional<double> PageLayout::fitMagnification(int page, Fit fit, const QSizeF &viewSize) const
{
    if (page < 0 || page >= pages.size())
        return std::nullopt;
    QSizeF region = pages[page].rect.size();
    double margin = 2 * gap;
    if (fit == Fit::Content) {
        const QRectF content = pages[page].visibleContent();
        if (content.isEmpty())
            return std::nullopt;
        region = content.size();
        // Strokes reach past the content's geometry; leave them room.
        margin = 4 * gap;
    }
    if (region.width() <= 0 || (fit != Fit::Width && region.height() <= 0))
        return std::nullopt;
    // At magnification 1.
    region /= magnification;

    // Try without scroll bars, then with either, then with both; keep the
    // first magnification whose scroll bars are those it was computed for.
    // A pixel less keeps rounding from calling for a scroll bar.
    const std::array<std::pair<bool, bool>, 4> bars = {
        {{false, false}, {true, false}, {false, true}, {true, true}}};
    double result = 0.0;
    for (const auto &[vertical, horizontal] : bars) {
        const double width = viewSize.width() - margin - (vertical ? scrollbar : 0.0) - 1.0;
        const double height = viewSize.height() - margin - (horizontal ? scrollbar : 0.0) - 1.0;
        if (width <= 0 || height <= 0)
            continue;
        double m = width / region.width();
        if (fit != Fit::Width)
            m = std::min(m, height / region.height());
        result = m;
        const QSizeF document = documentSize(m);
        const bool needsVertical =
            document.height() > viewSize.height() - (horizontal ? scrollbar : 0.0);
        const bool needsHorizontal =
            document.width() > viewSize.width() - (vertical ? scrollbar : 0.0);
        if (needsVertical == vertical && needsHorizontal == horizontal)
            return m;
    }
    return result > 0 ? std::optional<double>(result) : std::nullopt;
}
