#include "PageDocument.h"

#include "CDRStringVector.h"

#include <QRegularExpression>

namespace PageDocument {
namespace {

const QByteArray DocumentHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:svg=\"http://www.w3.org/2000/svg\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n"
    "<body>\n"
    "<?import namespace=\"svg\" urn=\"http://www.w3.org/2000/svg\"?>\n";

// Every page follows this inert prolog and ends before the separator of
// the next page or the end of the body.
const QByteArray PrologStart = "<!-- \n"
                               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
const QByteArray PrologEnd = "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                             "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n -->\n";
const QByteArray Separator = "<hr/>\n";
const QByteArray NextPage = "\n" + Separator + "<!-- \n";
const QByteArray DocumentTail = "</body>\n</html>\n";
const QByteArray BodyEnd = "\n" + DocumentTail;

double attribute(const QByteArray &startTag, const char *name)
{
    const QRegularExpression pattern(QStringLiteral("\\s%1=\"([^\"]*)\"").arg(QLatin1String(name)));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(startTag));
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

} // namespace

QByteArray write(const CDRStringVector &pages)
{
    qsizetype size = DocumentHead.size() + DocumentTail.size();
    for (unsigned i = 0; i < pages.size(); ++i)
        size += qsizetype(pages[i].str().size()) + PrologStart.size() + PrologEnd.size() +
                Separator.size() + 1;

    QByteArray document;
    document.reserve(size);
    document.append(DocumentHead);
    for (unsigned i = 0; i < pages.size(); ++i) {
        if (i > 0)
            document.append(Separator);
        document.append(PrologStart);
        document.append(PrologEnd);
        const std::string &page = pages[i].str();
        document.append(page.data(), qsizetype(page.size()));
        document.append('\n');
    }
    document.append(DocumentTail);
    return document;
}

QList<QByteArray> pages(const QByteArray &document)
{
    QList<QByteArray> result;
    qsizetype at = document.indexOf(PrologEnd);
    while (at >= 0) {
        const qsizetype start = at + PrologEnd.size();
        qsizetype end = document.indexOf(NextPage, start);
        const bool last = end < 0;
        if (last)
            end = document.lastIndexOf(BodyEnd);
        if (end < start)
            break;
        // Shares the bytes: no copy of a large drawing.
        result.append(QByteArray::fromRawData(document.constData() + start, end - start));
        at = last ? -1 : document.indexOf(PrologEnd, end);
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
