#include "WrappedText.h"

#include <pango/pangocairo.h>

#include <memory>

namespace WrappedText {

namespace {

constexpr double DefaultFontSize = 12.0;

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct LayoutIterFree
{
    void operator()(PangoLayoutIter *iter) const { pango_layout_iter_free(iter); }
};
struct FontDescriptionFree
{
    void operator()(PangoFontDescription *description) const
    {
        pango_font_description_free(description);
    }
};
using FontDescription = std::unique_ptr<PangoFontDescription, FontDescriptionFree>;

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 8);
}

// "12px" or "12" as a number; fallback when there is none.
double length(const QString &css, double fallback)
{
    QString text = css.trimmed();
    if (text.endsWith(QLatin1String("px")))
        text.chop(2);
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && value > 0 ? value : fallback;
}

// A CSS font list ("'Times New Roman', serif") as Pango wants it.
QByteArray pangoFamilies(const QString &css)
{
    QStringList families;
    for (QString family : css.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        family = family.trimmed();
        if (family.size() >= 2 &&
            (family.startsWith(QLatin1Char('\'')) || family.startsWith(QLatin1Char('"'))))
            family = family.mid(1, family.size() - 2);
        families.append(family);
    }
    return families.join(QLatin1Char(',')).toUtf8();
}

QString transformed(const QString &text, const QString &transform)
{
    if (transform == QLatin1String("uppercase"))
        return text.toUpper();
    if (transform == QLatin1String("lowercase"))
        return text.toLower();
    if (transform != QLatin1String("capitalize"))
        return text;
    QString result = text;
    bool wordStart = true;
    for (QChar &c : result) {
        if (wordStart && c.isLetter())
            c = c.toUpper();
        wordStart = c.isSpace();
    }
    return result;
}

double fontSize(const Span &span, double paragraphSize)
{
    return length(span.style.value(QStringLiteral("font-size")), paragraphSize);
}

FontDescription fontFor(const Style &style, double size)
{
    FontDescription description(pango_font_description_new());
    const QString family = style.value(QStringLiteral("font-family"));
    pango_font_description_set_family(
        description.get(), family.isEmpty() ? "sans-serif" : pangoFamilies(family).constData());
    pango_font_description_set_absolute_size(description.get(), size * PANGO_SCALE);
    const QString fontStyle = style.value(QStringLiteral("font-style"));
    if (fontStyle == QLatin1String("italic"))
        pango_font_description_set_style(description.get(), PANGO_STYLE_ITALIC);
    else if (fontStyle == QLatin1String("oblique"))
        pango_font_description_set_style(description.get(), PANGO_STYLE_OBLIQUE);
    const QString weight = style.value(QStringLiteral("font-weight"));
    if (weight == QLatin1String("bold") || weight == QLatin1String("bolder"))
        pango_font_description_set_weight(description.get(), PANGO_WEIGHT_BOLD);
    else if (const int numeric = weight.toInt(); numeric >= 100 && numeric <= 1000)
        pango_font_description_set_weight(description.get(), PangoWeight(numeric));
    if (style.value(QStringLiteral("font-variant")) == QLatin1String("small-caps"))
        pango_font_description_set_variant(description.get(), PANGO_VARIANT_SMALL_CAPS);
    return description;
}

// One span's piece of a line, as a tspan with the span's font and colour.
void appendTspan(QByteArray &out, const Style &style, double size, QStringView text)
{
    out += "<tspan";
    if (const QString family = style.value(QStringLiteral("font-family")); !family.isEmpty())
        out += " font-family=\"" + escaped(family) + '"';
    out += " font-size=\"" + number(size) + '"';
    for (const char *property : {"font-style", "font-weight", "font-variant"}) {
        const QString value = style.value(QLatin1String(property));
        if (!value.isEmpty())
            out += ' ' + QByteArray(property) + "=\"" + escaped(value) + '"';
    }
    const QString colour = style.value(QStringLiteral("color"));
    out += " fill=\"" + (colour.isEmpty() ? QByteArray("#000000") : escaped(colour)) + '"';
    if (const QString opacity = style.value(QStringLiteral("opacity")); !opacity.isEmpty())
        out += " fill-opacity=\"" + escaped(opacity) + '"';
    out += '>';
    appendEscaped(out, text);
    out += "</tspan>";
}

// A paragraph's text with the font of each span.
struct LaidOutParagraph
{
    QByteArray text; // UTF-8, as Pango indexes it
    struct Piece
    {
        int start; // bytes into text
        int end;
        const Style *style;
        double size;
    };
    QList<Piece> pieces;
};

} // namespace

Style parseStyle(QStringView css)
{
    Style style;
    for (QStringView declaration : css.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        style.insert(declaration.left(colon).trimmed().toString(),
                     declaration.mid(colon + 1).trimmed().toString());
    }
    return style;
}

void Box::setBlockStyle(QStringView css)
{
    lineHeight = length(parseStyle(css).value(QStringLiteral("line-height")), lineHeight);
}

namespace {

// Unhinted metrics, as librsvg lays out text: lines are as wide, and break
// where, they would in its drawing.
std::unique_ptr<PangoContext, GObjectUnref> layoutContext()
{
    PangoFontMap *fontMap = pango_cairo_font_map_get_default(); // the thread's own
    std::unique_ptr<PangoContext, GObjectUnref> context(pango_font_map_create_context(fontMap));
    cairo_font_options_t *options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context.get(), options);
    cairo_font_options_destroy(options);
    return context;
}

} // namespace

double naturalWidth(const QList<Span> &spans)
{
    const auto context = layoutContext();
    QByteArray text;
    PangoAttrList *attributes = pango_attr_list_new();
    for (const Span &span : spans) {
        const QByteArray piece = span.text.toUtf8();
        if (piece.isEmpty())
            continue;
        const FontDescription font = fontFor(span.style, fontSize(span, DefaultFontSize));
        PangoAttribute *attribute = pango_attr_font_desc_new(font.get());
        attribute->start_index = guint(text.size());
        text += piece;
        attribute->end_index = guint(text.size());
        pango_attr_list_insert(attributes, attribute);
    }
    std::unique_ptr<PangoLayout, GObjectUnref> layout(pango_layout_new(context.get()));
    pango_layout_set_text(layout.get(), text.constData(), int(text.size()));
    pango_layout_set_attributes(layout.get(), attributes);
    pango_attr_list_unref(attributes);
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    return double(logical.width) / PANGO_SCALE;
}

QByteArray svgLines(const Box &box)
{
    const auto context = layoutContext();

    QByteArray out;
    double top = box.y;
    for (const Paragraph &paragraph : box.paragraphs) {
        const double paragraphSize =
            length(paragraph.style.value(QStringLiteral("font-size")), DefaultFontSize);
        const double lineHeight = box.lineHeight * paragraphSize;

        LaidOutParagraph laidOut;
        for (const Span &span : paragraph.spans) {
            const Style &style = span.style.isEmpty() ? paragraph.style : span.style;
            const QByteArray text =
                transformed(span.text, style.value(QStringLiteral("text-transform"))).toUtf8();
            if (text.isEmpty())
                continue;
            const int start = int(laidOut.text.size());
            laidOut.text += text;
            laidOut.pieces.append(
                {start, int(laidOut.text.size()), &style, fontSize(span, paragraphSize)});
        }
        if (laidOut.pieces.isEmpty()) {
            top += lineHeight; // an empty paragraph keeps its line
            continue;
        }

        std::unique_ptr<PangoLayout, GObjectUnref> layout(pango_layout_new(context.get()));
        const FontDescription paragraphFont = fontFor(*laidOut.pieces.first().style, paragraphSize);
        pango_layout_set_font_description(layout.get(), paragraphFont.get());
        pango_layout_set_text(layout.get(), laidOut.text.constData(), int(laidOut.text.size()));
        PangoAttrList *attributes = pango_attr_list_new();
        for (const LaidOutParagraph::Piece &piece : laidOut.pieces) {
            const FontDescription font = fontFor(*piece.style, piece.size);
            PangoAttribute *attribute = pango_attr_font_desc_new(font.get());
            attribute->start_index = guint(piece.start);
            attribute->end_index = guint(piece.end);
            pango_attr_list_insert(attributes, attribute);
        }
        pango_layout_set_attributes(layout.get(), attributes);
        pango_attr_list_unref(attributes);
        pango_layout_set_width(layout.get(), int(box.width * PANGO_SCALE));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);

        const QString align = paragraph.style.value(QStringLiteral("text-align"));
        QByteArray anchor;
        double x = box.x;
        if (align == QLatin1String("center")) {
            anchor = " text-anchor=\"middle\"";
            x += box.width / 2;
        } else if (align == QLatin1String("right") || align == QLatin1String("end")) {
            anchor = " text-anchor=\"end\"";
            x += box.width;
        }

        std::unique_ptr<PangoLayoutIter, LayoutIterFree> iter(pango_layout_get_iter(layout.get()));
        do {
            PangoLayoutLine *line = pango_layout_iter_get_line_readonly(iter.get());
            PangoRectangle logical;
            pango_layout_line_get_extents(line, nullptr, &logical);
            const double ascent = -double(logical.y) / PANGO_SCALE;
            const double descent = double(logical.height + logical.y) / PANGO_SCALE;
            // As a web engine places a line: its glyphs in the middle of the
            // line's height.
            const double baseline = top + (lineHeight - (ascent + descent)) / 2 + ascent;
            top += lineHeight;

            // A line broken in a run of blanks leaves them at its end, where
            // they would move a centred or right-aligned line.
            int end = line->start_index + line->length;
            while (end > line->start_index &&
                   (laidOut.text[end - 1] == ' ' || laidOut.text[end - 1] == '\t' ||
                    laidOut.text[end - 1] == '\n'))
                --end;
            if (end == line->start_index)
                continue;
            out += "<text x=\"" + number(x) + "\" y=\"" + number(baseline) +
                   "\" xml:space=\"preserve\"" + anchor + '>';
            for (const LaidOutParagraph::Piece &piece : laidOut.pieces) {
                const int from = std::max(piece.start, line->start_index);
                const int to = std::min(piece.end, end);
                if (from < to)
                    appendTspan(out, *piece.style, piece.size,
                                QString::fromUtf8(laidOut.text.constData() + from, to - from));
            }
            out += "</text>";
        } while (pango_layout_iter_next_line(iter.get()));
    }
    return out;
}

void appendEscaped(QByteArray &out, QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            result += QLatin1String("&amp;");
            break;
        case '<':
            result += QLatin1String("&lt;");
            break;
        case '>':
            result += QLatin1String("&gt;");
            break;
        case '"':
            result += QLatin1String("&quot;");
            break;
        default:
            result += c;
        }
    }
    out += result.toUtf8();
}

QByteArray escaped(QStringView text)
{
    QByteArray out;
    appendEscaped(out, text);
    return out;
}

} // namespace WrappedText
