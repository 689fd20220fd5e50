#include "DrawingPages.h"

#include "WrappedText.h"

#include "foundation/Log.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QXmlStreamReader>

#include <cmath>
#include <utility>

namespace {

const QString SvgNamespace = QStringLiteral("http://www.w3.org/2000/svg");
const QString XlinkNamespace = QStringLiteral("http://www.w3.org/1999/xlink");
const QString XhtmlNamespace = QStringLiteral("http://www.w3.org/1999/xhtml");
const QString XmlNamespace = QStringLiteral("http://www.w3.org/XML/1998/namespace");

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 8);
}

// The media type of image data, by its first bytes; libcdr hands out BMP.
QByteArray imageType(const QByteArray &data)
{
    if (data.startsWith("\x89PNG"))
        return "image/png";
    if (data.startsWith("\xff\xd8\xff"))
        return "image/jpeg";
    return "image/bmp";
}

// What a page writer writes, twice: the page itself, and its outline, the
// same page with each drawn image as a plain rectangle in its place. librsvg
// leaves images out when it measures what a page draws, but not rectangles.
struct PageText
{
    QByteArray page;
    QByteArray outline;

    PageText &operator+=(const QByteArray &text)
    {
        page += text;
        outline += text;
        return *this;
    }
    PageText &operator+=(char c)
    {
        page += c;
        outline += c;
        return *this;
    }

    struct Mark
    {
        qsizetype page;
        qsizetype outline;
    };
    Mark mark() const { return {page.size(), outline.size()}; }
    void truncate(Mark mark)
    {
        page.truncate(mark.page);
        outline.truncate(mark.outline);
    }
};

// Copies one page's elements into a standalone SVG text.
class PageWriter
{
public:
    PageWriter(QXmlStreamReader &xml, const QSet<QString> &imageFiles)
        : m_xml(xml)
        , m_imageFiles(imageFiles)
    {}

    // Reads the page's root element, whose start tag is current.
    DrawingPages::Page read()
    {
        DrawingPages::Page page;
        const QXmlStreamAttributes attributes = m_xml.attributes();
        bool hasWidth = false;
        bool hasHeight = false;
        const double width = attributes.value(QLatin1String("width")).toDouble(&hasWidth);
        const double height = attributes.value(QLatin1String("height")).toDouble(&hasHeight);
        if (hasWidth && hasHeight && width > 0 && height > 0)
            page.pageSize = QSizeF(width, height);
        copyChildren();
        page.content = std::move(m_out.page);
        page.outline = std::move(m_out.outline);
        return page;
    }

private:
    void copyChildren()
    {
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
                copyElement();
                break;
            case QXmlStreamReader::EndElement:
                return;
            case QXmlStreamReader::Characters:
                copyText(m_xml.text());
                break;
            default: // comments and processing instructions stay behind
                break;
            }
        }
    }

    void copyText(QStringView text)
    {
        if (m_textElements == 0) {
            // Line breaks between elements, and where the script was.
            if (!text.trimmed().isEmpty() || m_startTagOpen) {
                closeStartTag();
                m_out += WrappedText::escaped(text);
            }
            return;
        }
        // Within a text element, white space is collapsed here once for the
        // whole element, as web engines collapse it: every run of blanks and
        // line breaks becomes one blank, none at the start. librsvg alone
        // collapses span by span, and would lose a blank that has a span of
        // its own.
        QString collapsed;
        for (QChar c : text) {
            const bool blank = c == QLatin1Char(' ') || c == QLatin1Char('\n') ||
                               c == QLatin1Char('\r') || c == QLatin1Char('\t');
            if (blank && m_blankBefore)
                continue;
            m_blankBefore = blank;
            collapsed += blank ? QLatin1Char(' ') : c;
        }
        if (collapsed.isEmpty())
            return;
        closeStartTag();
        m_out += WrappedText::escaped(collapsed);
        m_textCharacters += collapsed.size();
        m_trailingBlank =
            m_blankBefore
                ? std::optional(PageText::Mark{m_out.page.size() - 1, m_out.outline.size() - 1})
                : std::nullopt;
        if (m_fitted && !m_textStyles.isEmpty())
            m_fitted->spans.append({m_textStyles.last(), collapsed});
    }

    void copyElement()
    {
        if (m_xml.namespaceUri() != SvgNamespace) {
            m_xml.skipCurrentElement();
            return;
        }
        const QStringView name = m_xml.name();
        if (name == QLatin1String("script")) {
            // Sizes the page in the viewer; outside it, the view box does.
            m_xml.skipCurrentElement();
        } else if (name == QLatin1String("image")) {
            copyImage();
        } else if (name == QLatin1String("foreignObject")) {
            copyWrappedText();
        } else {
            closeStartTag();
            const PageText::Mark mark = m_out.mark();
            const QByteArray tag = name.toUtf8();
            m_out += '<' + tag;
            const QXmlStreamAttributes attributes = m_xml.attributes();
            const bool text = name == QLatin1String("text") && m_textElements == 0 &&
                              !attributes.hasAttribute(XmlNamespace, QLatin1String("space"));
            if (text)
                m_fitted = fittedText(attributes);
            if (text && m_fitted) {
                // Fitted here, by a transform; readers that fit text
                // themselves would otherwise fit it twice.
                QXmlStreamAttributes others;
                for (const QXmlStreamAttribute &attribute : attributes)
                    if (attribute.name() != QLatin1String("textLength") &&
                        attribute.name() != QLatin1String("lengthAdjust"))
                        others.append(attribute);
                appendAttributes(others);
            } else {
                appendAttributes(attributes);
            }
            const bool styled = text || m_textElements > 0;
            if (text) {
                m_out += " xml:space=\"preserve\"";
                m_blankBefore = true; // leading blanks go
                ++m_textElements;
                m_textStyles = {fontOf(attributes)};
            } else if (styled) {
                WrappedText::Style style = m_textStyles.value(m_textStyles.size() - 1);
                style.insert(fontOf(attributes));
                m_textStyles.append(style);
            }
            const qsizetype charactersBefore = m_textCharacters;
            // Nothing in these is drawn where it stands.
            const bool definitions =
                name == QLatin1String("defs") || name == QLatin1String("pattern") ||
                name == QLatin1String("clipPath") || name == QLatin1String("mask") ||
                name == QLatin1String("symbol");
            m_definitions += definitions;
            m_startTagOpen = true;
            copyChildren();
            m_definitions -= definitions;
            if (styled)
                m_textStyles.removeLast();
            if (text) {
                --m_textElements;
                // Nor does a blank at the end of the text take room in a web
                // engine.
                if (const auto blank = std::exchange(m_trailingBlank, std::nullopt)) {
                    m_out.page.remove(blank->page, 1);
                    m_out.outline.remove(blank->outline, 1);
                    if (m_fitted && !m_fitted->spans.isEmpty())
                        m_fitted->spans.last().text.chop(1);
                }
                fitText(mark);
            }
            // A span left without characters is dropped, with any position
            // it gives, which web engines ignore for want of a character to
            // place.
            if (m_textElements > 0 && m_textCharacters == charactersBefore) {
                m_out.truncate(mark);
                m_startTagOpen = false;
                return;
            }
            if (m_startTagOpen) {
                m_out += "/>";
                m_startTagOpen = false;
            } else {
                m_out += "</" + tag + '>';
            }
        }
    }

    void copyImage()
    {
        const QXmlStreamAttributes attributes = m_xml.attributes();
        const QString href = attributes.value(XlinkNamespace, QLatin1String("href")).toString();
        m_xml.skipCurrentElement();
        const std::optional<QByteArray> data = embeddedImage(href);
        if (!data)
            return;
        closeStartTag();
        QXmlStreamAttributes others;
        for (const QXmlStreamAttribute &attribute : attributes)
            if (attribute.namespaceUri() != XlinkNamespace)
                others.append(attribute);
        QByteArray place;
        appendAttributes(others, place);
        m_out.page += "<image" + place + " xlink:href=\"" + *data + "\"/>";
        if (m_definitions == 0)
            m_out.outline += "<rect" + place + "/>";
    }

    // A text the page stretches or squeezes to a given length, which
    // librsvg does not do itself.
    struct FittedText
    {
        double x = 0;
        double length = 0;
        QList<WrappedText::Span> spans;
    };

    static std::optional<FittedText> fittedText(const QXmlStreamAttributes &attributes)
    {
        bool ok = false;
        const double length = attributes.value(QLatin1String("textLength")).toDouble(&ok);
        if (!ok || length <= 0 || attributes.hasAttribute(QLatin1String("transform")) ||
            attributes.value(QLatin1String("lengthAdjust")) != QLatin1String("spacingAndGlyphs"))
            return std::nullopt;
        return FittedText{attributes.value(QLatin1String("x")).toDouble(), length, {}};
    }

    static WrappedText::Style fontOf(const QXmlStreamAttributes &attributes)
    {
        WrappedText::Style style;
        for (const char *property :
             {"font-family", "font-size", "font-style", "font-weight", "font-variant"}) {
            const QStringView value = attributes.value(QLatin1String(property));
            if (!value.isEmpty())
                style.insert(QLatin1String(property), value.toString());
        }
        return style;
    }

    // Stretches the text just written, which starts at the mark, to its
    // length, about its anchor.
    void fitText(PageText::Mark mark)
    {
        const std::optional<FittedText> fitted = std::exchange(m_fitted, std::nullopt);
        if (!fitted)
            return;
        const double natural = WrappedText::naturalWidth(fitted->spans);
        if (natural <= 0 || std::abs(fitted->length / natural - 1) < 1e-3)
            return;
        const QByteArray x = number(fitted->x);
        const QByteArray transform = " transform=\"translate(" + x + " 0) scale(" +
                                     number(fitted->length / natural) + " 1) translate(" +
                                     number(-fitted->x) + " 0)\"";
        constexpr qsizetype TagLength = 5; // "<text"
        m_out.page.insert(mark.page + TagLength, transform);
        m_out.outline.insert(mark.outline + TagLength, transform);
    }

    // The image as a data URL: data URLs as they are, drawn images from the
    // files of the conversion. Nothing for any other reference.
    std::optional<QByteArray> embeddedImage(const QString &href) const
    {
        if (href.startsWith(QLatin1String("data:")))
            return WrappedText::escaped(href);
        const QUrl url(href);
        const QString path =
            url.isLocalFile() ? QFileInfo(url.toLocalFile()).absoluteFilePath() : QString();
        if (path.isEmpty() || !m_imageFiles.contains(path)) {
            systemLog(QStringLiteral("Left out an image from elsewhere: %1").arg(href));
            return std::nullopt;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            systemLog(QStringLiteral("Left out an image that cannot be read: %1").arg(path));
            return std::nullopt;
        }
        const QByteArray bytes = file.readAll();
        return "data:" + imageType(bytes) + ";base64," + bytes.toBase64();
    }

    // A text box written as XHTML: kept for readers that draw HTML, with SVG
    // text lines for the others.
    void copyWrappedText()
    {
        WrappedText::Box box;
        const QXmlStreamAttributes attributes = m_xml.attributes();
        box.x = attributes.value(QLatin1String("x")).toDouble();
        box.y = attributes.value(QLatin1String("y")).toDouble();
        box.width = attributes.value(QLatin1String("width")).toDouble();
        box.height = attributes.value(QLatin1String("height")).toDouble();
        const QByteArray transform =
            WrappedText::escaped(attributes.value(QLatin1String("transform")));

        QByteArray html;
        readHtml(html, box, 0);
        closeStartTag();
        m_out += "<switch><foreignObject";
        appendAttributes(attributes);
        m_out += " requiredExtensions=\"http://www.w3.org/1999/xhtml\">";
        m_out += html;
        m_out += "</foreignObject><g";
        if (!transform.isEmpty())
            m_out += " transform=\"" + transform + '"';
        m_out += '>';
        m_out += WrappedText::svgLines(box);
        m_out += "</g></switch>";
    }

    // Copies the XHTML inside the text box and gathers its paragraphs: the
    // box holds one block whose line height applies to all, and each
    // paragraph is a block of its own.
    void readHtml(QByteArray &html, WrappedText::Box &box, int depth)
    {
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement: {
                if (m_xml.namespaceUri() != XhtmlNamespace) {
                    m_xml.skipCurrentElement();
                    break;
                }
                const QStringView name = m_xml.name();
                const QString style = m_xml.attributes().value(QLatin1String("style")).toString();
                if (depth == 0 && name == QLatin1String("div"))
                    box.setBlockStyle(style);
                else if (depth == 1 && name == QLatin1String("div"))
                    box.paragraphs.append(WrappedText::Paragraph::withStyle(style));
                else if (depth == 2 && name == QLatin1String("span") && !box.paragraphs.isEmpty())
                    box.paragraphs.last().spans.append(WrappedText::Span::withStyle(style));
                const QByteArray tag = name.toUtf8();
                html += '<' + tag;
                if (depth == 0)
                    html += " xmlns=\"http://www.w3.org/1999/xhtml\"";
                appendAttributes(m_xml.attributes(), html);
                QByteArray children;
                readHtml(children, box, depth + 1);
                html += children.isEmpty() ? "/>" : '>' + children + "</" + tag + '>';
                break;
            }
            case QXmlStreamReader::EndElement:
                return;
            case QXmlStreamReader::Characters:
                WrappedText::appendEscaped(html, m_xml.text());
                if (depth >= 2 && !box.paragraphs.isEmpty()) {
                    // Text outside a span takes the paragraph's own style.
                    WrappedText::Paragraph &paragraph = box.paragraphs.last();
                    if (depth == 2)
                        paragraph.spans.append(WrappedText::Span{});
                    if (!paragraph.spans.isEmpty())
                        paragraph.spans.last().text += m_xml.text();
                }
                break;
            default:
                break;
            }
        }
    }

    void appendAttributes(const QXmlStreamAttributes &attributes)
    {
        QByteArray text;
        appendAttributes(attributes, text);
        m_out += text;
    }

    static void appendAttributes(const QXmlStreamAttributes &attributes, QByteArray &out)
    {
        for (const QXmlStreamAttribute &attribute : attributes) {
            const QStringView ns = attribute.namespaceUri();
            QByteArray name;
            if (ns.isEmpty())
                name = attribute.name().toUtf8();
            else if (ns == XlinkNamespace)
                name = "xlink:" + attribute.name().toUtf8();
            else if (ns == XmlNamespace)
                name = "xml:" + attribute.name().toUtf8();
            else
                continue;
            out += ' ' + name + "=\"";
            WrappedText::appendEscaped(out, attribute.value());
            out += '"';
        }
    }

    void closeStartTag()
    {
        if (m_startTagOpen) {
            m_out += '>';
            m_startTagOpen = false;
        }
    }

    QXmlStreamReader &m_xml;
    const QSet<QString> &m_imageFiles;
    PageText m_out;
    bool m_startTagOpen = false;
    // Within definitions, which draw nothing where they stand.
    int m_definitions = 0;
    // The text being written: its fonts, span by span, and the length it
    // is to have.
    QList<WrappedText::Style> m_textStyles;
    std::optional<FittedText> m_fitted;
    // Where the text written last ends in a blank.
    std::optional<PageText::Mark> m_trailingBlank;
    // Within a text element whose blanks are collapsed here.
    int m_textElements = 0;
    bool m_blankBefore = false;
    qsizetype m_textCharacters = 0;
};

} // namespace

namespace {

QByteArray svgDocument(const QByteArray &content, const QSizeF &pageSize,
                       const std::optional<QRectF> &viewBox)
{
    QByteArray document = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                          "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\"";
    const QSizeF size = viewBox ? viewBox->size() : pageSize;
    if (!size.isEmpty())
        document +=
            " width=\"" + number(size.width()) + "\" height=\"" + number(size.height()) + '"';
    if (viewBox)
        document += " viewBox=\"" + number(viewBox->x()) + ' ' + number(viewBox->y()) + ' ' +
                    number(viewBox->width()) + ' ' + number(viewBox->height()) + '"';
    document += ">\n<g id=\"" + DrawingPages::ContentId + "\">\n";
    document += content;
    document += "</g>\n</svg>\n";
    return document;
}

} // namespace

QByteArray DrawingPages::Page::svg(const std::optional<QRectF> &viewBox) const
{
    return svgDocument(content, pageSize, viewBox);
}

QByteArray DrawingPages::Page::outlineSvg() const
{
    return svgDocument(outline, pageSize, std::nullopt);
}

std::optional<DrawingPages> DrawingPages::fromPageDocument(const QByteArray &document,
                                                           const QList<QUrl> &imageFiles,
                                                           Error *error,
                                                           std::optional<int> pageLimit)
{
    QSet<QString> files;
    for (const QUrl &url : imageFiles)
        files.insert(QFileInfo(url.toLocalFile()).absoluteFilePath());

    DrawingPages pages;
    QXmlStreamReader xml(document);
    while (!xml.atEnd() && (!pageLimit || pages.count() < *pageLimit)) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.namespaceUri() == SvgNamespace && xml.name() == QLatin1String("svg"))
            pages.m_pages.append(PageWriter(xml, files).read());
    }
    if (xml.hasError() || pages.m_pages.isEmpty()) {
        if (error)
            *error = Error::withDescription(
                ErrorDomain, UnreadableDocumentError,
                QCoreApplication::translate("DrawingPages", "The drawing's pages cannot be read."));
        systemLog(QStringLiteral("Page document unreadable: %1").arg(xml.errorString()));
        return std::nullopt;
    }
    return pages;
}
