#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QVariant>

#include <optional>

// Where the pages of a shown drawing lie, as the web view last laid them
// out, and what follows from that: the current page and the magnifications
// that fit a page, its width or its content into the view. Lengths are
// pixels of the view's document at the magnification of the layout.
struct PageLayout
{
    struct Page
    {
        // The page's frame in the document.
        QRectF rect;
        // The part of the page's own coordinates that the frame shows.
        QRectF shown;
        // The bounding box of the drawn content, in the page's own
        // coordinates; none for a page with nothing on it.
        std::optional<QRectF> content;

        // The drawn content that the frame shows, in the document; empty
        // when the page shows none.
        QRectF visibleContent() const;
    };

    enum class Fit
    {
        Page,
        Width,
        Content
    };

    double magnification = 1.0;
    QPointF scroll;
    // The view's size without its scroll bars.
    QSizeF view;
    // Room around and between pages, in pixels whatever the magnification.
    double gap = 0.0;
    // The thickness of a scroll bar of the view.
    double scrollbar = 0.0;
    QList<Page> pages;

    // Reads what the page script reports; an empty layout when it reports
    // nothing usable.
    static PageLayout fromVariant(const QVariant &value);

    bool isEmpty() const { return pages.isEmpty(); }
    // The page that takes up most of the view's height at the given scroll
    // position (the nearest one when none shows); -1 without pages.
    int currentPage(const QPointF &scrollPosition, const QSizeF &viewSize) const;

    // The magnification at which the page (or its width, or its content)
    // fits a view of `viewSize` pixels, scroll bars included, leaving room
    // for any scroll bar it then needs. nullopt when there is nothing to
    // fit (no such page; no content on it for Fit::Content).
    std::optional<double> fitMagnification(int page, Fit fit, const QSizeF &viewSize) const;

private:
    QSizeF documentSize(double magnification) const;
};
