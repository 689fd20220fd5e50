// Lays the pages of a page document out as a document viewer does and
// answers the viewer's questions about them. Runs in a world of its own, so
// that nothing in the drawings can reach it; it defines one object,
// quillmoorPages, and leaves the pages' own elements and scripts alone.
(function () {
    'use strict';
    if (window.quillmoorPages)
        return;

    var XHTML = 'http://www.w3.org/1999/xhtml';
    var SVG = 'http://www.w3.org/2000/svg';
    // Room around and between the pages, in pixels of the screen.
    var GAP = 12;
    var magnification = 1;
    var scrollbarSize = -1;

    // The thickness of a scroll bar of the view, present or not.
    function scrollbar() {
        if (scrollbarSize < 0 && document.body) {
            var probe = document.createElementNS(XHTML, 'div');
            probe.style.cssText = 'position: absolute; top: -200px; width: 100px; height: 100px;' +
                ' overflow: scroll;';
            document.body.appendChild(probe);
            scrollbarSize = probe.offsetWidth - probe.clientWidth;
            document.body.removeChild(probe);
        }
        return Math.max(0, scrollbarSize);
    }

    // The page elements: the SVG roots, in document order. Each sits in a
    // frame of its own once laid out.
    function pageElements() {
        var list = [];
        var all = document.getElementsByTagNameNS(SVG, 'svg');
        for (var i = 0; i < all.length; ++i) {
            var parent = all[i].parentNode;
            if (parent === document.body || (parent && parent.quillmoorFrame))
                list.push(all[i]);
        }
        return list;
    }

    function frames() {
        return pageElements().map(function (page) {
            return page.parentNode.quillmoorFrame ? page.parentNode : page;
        });
    }

    // Pages apart on a neutral ground: each in a white frame with a rim
    // and a shadow, one below the other, centred. The separators between
    // pages give way to the gaps.
    function layOut() {
        var root = document.documentElement;
        var body = document.body;
        if (!root || !body)
            return;
        root.style.background = '#a3a3a3';
        root.style.minHeight = '100%';
        body.style.margin = '0';
        body.style.padding = GAP + 'px';
        body.style.width = 'max-content';
        body.style.minWidth = 'calc(100% - ' + 2 * GAP + 'px)';
        var separators = body.getElementsByTagNameNS(XHTML, 'hr');
        for (var s = 0; s < separators.length; ++s)
            separators[s].style.display = 'none';
        pageElements().forEach(function (page, index, pages) {
            var frame = page.parentNode;
            if (!frame.quillmoorFrame) {
                frame = document.createElementNS(XHTML, 'div');
                frame.quillmoorFrame = true;
                page.parentNode.insertBefore(frame, page);
                frame.appendChild(page);
            }
            frame.style.cssText =
                'width: max-content; margin: 0 auto ' + (index + 1 < pages.length ? GAP : 0) +
                'px auto; background: white; line-height: 0;' +
                ' box-shadow: 0 0 0 1px rgba(0, 0, 0, 0.3), 0 2px 6px rgba(0, 0, 0, 0.45);';
            page.style.display = 'block';
            page.style.zoom = magnification;
        });
    }

    function rect(r) {
        return [r.left + window.scrollX, r.top + window.scrollY, r.width, r.height];
    }

    // The part of the page's own coordinates that its frame shows.
    function shownBox(page) {
        if (page.hasAttribute('viewBox')) {
            var v = page.viewBox.baseVal;
            return [v.x, v.y, v.width, v.height];
        }
        return [0, 0, page.width.baseVal.value, page.height.baseVal.value];
    }

    // The bounding box of the drawn content, in the page's coordinates;
    // null for a page with nothing on it.
    function contentBox(page) {
        var group = page.querySelector('[id="rootGroup"]');
        if (!group || typeof group.getBBox !== 'function')
            return null;
        var b = group.getBBox();
        return b.width > 0 || b.height > 0 ? [b.x, b.y, b.width, b.height] : null;
    }

    function layout() {
        var root = document.documentElement;
        return {
            magnification: magnification,
            scroll: [window.scrollX, window.scrollY],
            view: [root.clientWidth, root.clientHeight],
            gap: GAP,
            scrollbar: scrollbar(),
            bars: [window.innerWidth - root.clientWidth, window.innerHeight - root.clientHeight],
            pages: pageElements().map(function (page) {
                var frame = page.parentNode.quillmoorFrame ? page.parentNode : page;
                return {
                    rect: rect(frame.getBoundingClientRect()),
                    shown: shownBox(page),
                    content: contentBox(page),
                };
            }),
        };
    }

    // The page nearest to a height of the view.
    function pageAt(y) {
        var list = frames();
        var best = -1, distance = Infinity;
        for (var i = 0; i < list.length; ++i) {
            var r = list[i].getBoundingClientRect();
            var d = y < r.top ? r.top - y : (y > r.bottom ? y - r.bottom : 0);
            if (d < distance) {
                best = i;
                distance = d;
            }
        }
        return best;
    }

    // Sets the magnification, keeping a point of a page where it is in
    // the view: by default the point under `at` (view pixels), or the given
    // fractions of the given page, placed at `at`.
    function magnify(m, at, pageIndex, fractions) {
        var list = frames();
        var root = document.documentElement;
        var ax = at ? at[0] : root.clientWidth / 2;
        var ay = at ? at[1] : root.clientHeight / 2;
        var index = pageIndex >= 0 ? pageIndex : pageAt(ay);
        var fx = 0, fy = 0;
        if (index >= 0) {
            var before = list[index].getBoundingClientRect();
            fx = fractions ? fractions[0] : (ax - before.left) / before.width;
            fy = fractions ? fractions[1] : (ay - before.top) / before.height;
        }
        magnification = m;
        pageElements().forEach(function (page) { page.style.zoom = m; });
        if (index >= 0) {
            var after = list[index].getBoundingClientRect();
            window.scrollBy(after.left + fx * after.width - ax, after.top + fy * after.height - ay);
        }
        return layout();
    }

    function scrollToPage(index, pages) {
        var r = pages[index].getBoundingClientRect();
        window.scrollTo(window.scrollX, r.top + window.scrollY - GAP);
    }

    // The first page not wholly above the view.
    function topPage(pages) {
        for (var i = 0; i < pages.length; ++i)
            if (pages[i].getBoundingClientRect().bottom > 1)
                return i;
        return pages.length - 1;
    }

    // A screenful down, but not past the end of the page at the top of the
    // view; at its end, on to the top of the next page.
    function pageDown(overlap) {
        var pages = frames();
        if (!pages.length)
            return layout();
        var height = document.documentElement.clientHeight;
        var index = topPage(pages);
        var r = pages[index].getBoundingClientRect();
        if (r.bottom > height + 1)
            window.scrollBy(0, Math.min(height - overlap, r.bottom - height));
        else if (index + 1 < pages.length)
            scrollToPage(index + 1, pages);
        else
            window.scrollTo(window.scrollX, document.documentElement.scrollHeight);
        return layout();
    }

    // A screenful up, but not past the start of the page at the top of the
    // view; at its start, back to the previous page: its end, or the whole
    // of it when it fits.
    function pageUp(overlap) {
        var pages = frames();
        if (!pages.length)
            return layout();
        var height = document.documentElement.clientHeight;
        var index = topPage(pages);
        var r = pages[index].getBoundingClientRect();
        if (r.top < GAP - 1) {
            window.scrollBy(0, -Math.min(height - overlap, GAP - r.top));
        } else if (index > 0) {
            var previous = pages[index - 1].getBoundingClientRect();
            if (previous.height + 2 * GAP <= height)
                scrollToPage(index - 1, pages);
            else
                window.scrollBy(0, previous.bottom + GAP - height);
        } else {
            window.scrollTo(window.scrollX, 0);
        }
        return layout();
    }

    function goToPage(index) {
        var pages = frames();
        if (index >= 0 && index < pages.length)
            scrollToPage(index, pages);
        return layout();
    }

    function scrollTo(x, y) {
        window.scrollTo(x, y);
        return layout();
    }

    window.quillmoorPages = {
        layOut: function () { layOut(); return layout(); },
        layout: layout,
        magnify: magnify,
        pageDown: pageDown,
        pageUp: pageUp,
        goToPage: goToPage,
        scrollTo: scrollTo,
        scrollPosition: function () { return [window.scrollX, window.scrollY]; },
    };
})();
