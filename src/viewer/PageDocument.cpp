#include "PageDocument.h"

#include <QRegularExpression>

namespace PageDocument {
namespace {

// Every page follows this inert prolog and ends before the separator of
// the next page or the end of the body.
const QByteArray PageProlog = "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                              "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n -->\n";
const QByteArray NextPage = "\n<hr/>\n<!-- \n";
const QByteArray BodyEnd = "\n</body>\n</html>\n";

double attribute(const QByteArray &startTag, const char *name)
{
    const QRegularExpression pattern(QStringLiteral("\\s%1=\"([^\"]*)\"").arg(QLatin1String(name)));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(startTag));
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

} // namespace

QList<QByteArray> pages(const QByteArray &document)
{
    QList<QByteArray> result;
    qsizetype at = document.indexOf(PageProlog);
    while (at >= 0) {
        const qsizetype start = at + PageProlog.size();
        qsizetype end = document.indexOf(NextPage, start);
        const bool last = end < 0;
        if (last)
            end = document.lastIndexOf(BodyEnd);
        if (end < start)
            break;
        // Shares the bytes: no copy of a large drawing.
        result.append(QByteArray::fromRawData(document.constData() + start, end - start));
        at = last ? -1 : document.indexOf(PageProlog, end);
    }
    return result;
}

QSizeF pageSize(const QByteArray &page)
{
    const qsizetype end = page.indexOf('>');
    if (!page.startsWith("<svg:svg") || end < 0)
        return {};
    const QByteArray startTag = page.left(end);
    return {attribute(startTag, "width"), attribute(startTag, "height")};
}

} // namespace PageDocument
