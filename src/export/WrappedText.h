#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringView>

// A text box whose paragraphs wrap at the box's width. The page document
// writes such a box as XHTML inside an SVG foreignObject, which only a web
// engine draws. Here its lines are laid out with Pango, with the fonts and
// wrapping rules that librsvg draws text with, and written as SVG text.
namespace WrappedText {

// CSS declarations by property name.
using Style = QMap<QString, QString>;
Style parseStyle(QStringView css);

struct Span
{
    Style style;
    QString text;
    static Span withStyle(QStringView css) { return {parseStyle(css), {}}; }
};

struct Paragraph
{
    Style style;
    QList<Span> spans;
    static Paragraph withStyle(QStringView css) { return {parseStyle(css), {}}; }
};

struct Box
{
    // In points.
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    // In font sizes, as the box's block gives it.
    double lineHeight = 1.15;
    QList<Paragraph> paragraphs;

    void setBlockStyle(QStringView css);
};

// The box's lines as SVG text elements, one per line, in the box's own
// coordinates (the caller applies the box's transform).
QByteArray svgLines(const Box &box);

// How wide the spans are on one line, each in the font its style gives (as
// SVG font attributes or CSS declarations of the same names), in points.
double naturalWidth(const QList<Span> &spans);

// Text for an XML attribute value or element content.
void appendEscaped(QByteArray &out, QStringView text);
QByteArray escaped(QStringView text);

} // namespace WrappedText
