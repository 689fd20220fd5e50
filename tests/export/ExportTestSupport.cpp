#include "ExportTestSupport.h"

#include <QPdfDocument>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

ExportedDrawing::ExportedDrawing(const QString &name)
{
    Error error;
    converted = ConvertedDrawing::convert(drawing(name), &error);
    EXPECT_TRUE(converted) << error.localizedDescription().toStdString();
    if (converted)
        pages = DrawingPages::fromPageDocument(converted->pageDocument(), converted->imageFiles(),
                                               &error);
    EXPECT_TRUE(pages) << error.localizedDescription().toStdString();
}

int inkPixels(const QImage &image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_ARGB32);
    int ink = 0;
    for (int y = 0; y < rgba.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgba.constScanLine(y));
        for (int x = 0; x < rgba.width(); ++x)
            ink += qAlpha(line[x]) > 128 && qGray(line[x]) < 200;
    }
    return ink;
}

std::optional<QList<QSizeF>> pdfPageSizes(const QString &path)
{
    QPdfDocument document;
    if (document.load(path) != QPdfDocument::Error::None)
        return std::nullopt;
    QList<QSizeF> sizes;
    for (int i = 0; i < document.pageCount(); ++i)
        sizes.append(document.pagePointSize(i));
    return sizes;
}

testing::AssertionResult isWellFormedSvg(const QByteArray &svg)
{
    QXmlStreamReader xml(svg);
    if (!xml.readNextStartElement())
        return testing::AssertionFailure()
               << "no root element: " << xml.errorString().toStdString();
    if (xml.name() != QLatin1String("svg") ||
        xml.namespaceUri() != QLatin1String("http://www.w3.org/2000/svg"))
        return testing::AssertionFailure() << "the root is no SVG element";
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        return testing::AssertionFailure()
               << xml.errorString().toStdString() << " at line " << xml.lineNumber();
    return testing::AssertionSuccess();
}
