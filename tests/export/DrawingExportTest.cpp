#include "ExportTestSupport.h"

#include "export/DrawingExport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using DrawingExport::Format;

namespace {

DrawingExport::Options options(Format format, std::optional<int> page = std::nullopt,
                               double dotsPerInch = DrawingExport::DefaultDotsPerInch)
{
    DrawingExport::Options result;
    result.format = format;
    result.page = page;
    result.dotsPerInch = dotsPerInch;
    return result;
}

QStringList filesIn(const QTemporaryDir &folder)
{
    return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

TEST(DrawingExportTest, PngPicturesHaveInkAndTheChosenResolution)
{
    const ExportedDrawing drawing(QStringLiteral("x7_models-heart_part1.cdr"));
    ASSERT_TRUE(drawing.pages);
    QTemporaryDir folder;
    QSize sizes[2];
    const double resolutions[2] = {36, 72};
    for (int i = 0; i < 2; ++i) {
        const QString path = folder.filePath(QStringLiteral("page%1.png").arg(i));
        Error error;
        ASSERT_TRUE(DrawingExport::write(*drawing.pages, options(Format::Png, 0, resolutions[i]),
                                         path, &error))
            << error.localizedDescription().toStdString();
        const QImage image(path);
        ASSERT_FALSE(image.isNull());
        sizes[i] = image.size();
        EXPECT_GT(inkPixels(image), image.width() * image.height() / 20);
        EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, resolutions[i], 0.5);
    }
    // Twice the resolution, twice the pixels each way.
    EXPECT_NEAR(sizes[1].width(), 2 * sizes[0].width(), 2);
    EXPECT_NEAR(sizes[1].height(), 2 * sizes[0].height(), 2);
}

TEST(DrawingExportTest, ADrawingOutsideItsPageIsExportedWhole)
{
    // All of this drawing lies beside its page.
    const ExportedDrawing drawing(QStringLiteral("v25_2024_Razoom-laser_map.cdr"));
    ASSERT_TRUE(drawing.pages);
    Error error;
    const QImage image = DrawingExport::pageImage(*drawing.pages, 0, 10, &error);
    ASSERT_FALSE(image.isNull()) << error.localizedDescription().toStdString();
    // Thin lines over a wide area.
    EXPECT_GT(inkPixels(image), 5000);

    // Pictures beside the page count too: this one reaches to 1048 points
    // on a page 612 points wide.
    const ExportedDrawing pictures(QStringLiteral("v23_2021_corolDrow_zakaz.cdr"));
    ASSERT_TRUE(pictures.pages);
    const QImage wide = DrawingExport::pageImage(*pictures.pages, 0, 72, &error);
    EXPECT_NEAR(wide.width(), 1048, 4);
    int right = 0;
    for (int y = 0; y < wide.height(); ++y)
        right += qGray(wide.pixel(wide.width() - 80, y)) < 200;
    EXPECT_GT(right, 20);
}

TEST(DrawingExportTest, APdfHasOneVectorPagePerDrawingPage)
{
    const ExportedDrawing drawing(QStringLiteral("x5_irank_modelo1.cdr"));
    ASSERT_TRUE(drawing.pages);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("all.pdf"));
    Error error;
    ASSERT_TRUE(DrawingExport::write(*drawing.pages, options(Format::Pdf), path, &error))
        << error.localizedDescription().toStdString();
    const std::optional<QList<QSizeF>> sizes = pdfPageSizes(path);
    ASSERT_TRUE(sizes);
    ASSERT_EQ(sizes->size(), 7);
    for (const QSizeF &size : *sizes)
        EXPECT_FALSE(size.isEmpty());

    // One page alone; the file holds no picture of the page, only shapes.
    const QString one = folder.filePath(QStringLiteral("one.pdf"));
    ASSERT_TRUE(DrawingExport::write(*drawing.pages, options(Format::Pdf, 2), one, &error));
    ASSERT_EQ(pdfPageSizes(one)->size(), 1);
    QFile file(one);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("/Subtype /Image"));
    EXPECT_EQ(filesIn(folder), QStringList({"all.pdf", "one.pdf"}));
}

TEST(DrawingExportTest, SvgPagesAreWellFormedAndFramedToTheirDrawing)
{
    const ExportedDrawing drawing(QStringLiteral("x5_xapian_test2.cdr"));
    ASSERT_TRUE(drawing.pages);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("text.svg"));
    Error error;
    ASSERT_TRUE(DrawingExport::write(*drawing.pages, options(Format::Svg), path, &error));
    // Several pages go to numbered files beside the name given.
    EXPECT_EQ(filesIn(folder), QStringList({"text-1.svg", "text-2.svg"}));
    for (const QString &name : filesIn(folder)) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray svg = file.readAll();
        EXPECT_TRUE(isWellFormedSvg(svg)) << name.toStdString();
        EXPECT_TRUE(svg.contains(" viewBox=\"")) << name.toStdString();
        EXPECT_TRUE(svg.contains("<text ")) << name.toStdString();
    }
}

TEST(DrawingExportTest, TargetsAreNumberedOnlyForSeveralPicturesOrSvgPages)
{
    const QString out = QStringLiteral("/x/drawing.png");
    EXPECT_EQ(DrawingExport::targetPaths(out, options(Format::Png), 3),
              QStringList({"/x/drawing-1.png", "/x/drawing-2.png", "/x/drawing-3.png"}));
    EXPECT_EQ(DrawingExport::targetPaths(out, options(Format::Png), 1), QStringList{out});
    EXPECT_EQ(DrawingExport::targetPaths(out, options(Format::Png, 1), 3), QStringList{out});
    EXPECT_EQ(DrawingExport::targetPaths(QStringLiteral("/x/all.pdf"), options(Format::Pdf), 3),
              QStringList{"/x/all.pdf"});
    EXPECT_EQ(DrawingExport::targetPaths(QStringLiteral("/x/page"), options(Format::Svg), 2),
              QStringList({"/x/page-1", "/x/page-2"}));
    EXPECT_EQ(DrawingExport::formatNamed(u"PDF"), Format::Pdf);
    EXPECT_EQ(DrawingExport::formatNamed(u"xhtml"), std::nullopt);
}

TEST(DrawingExportTest, AFailedExportWritesNothingAndKeepsWhatWasThere)
{
    const ExportedDrawing drawing(QStringLiteral("x5_xapian_test2.cdr"));
    ASSERT_TRUE(drawing.pages);
    QTemporaryDir folder;
    const QString existing = folder.filePath(QStringLiteral("keep.png"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("earlier export");
    file.close();

    struct Case
    {
        DrawingExport::Options options;
        QString path;
        int code;
    };
    const Case cases[] = {
        {options(Format::Png, 2), existing, DrawingExport::NoSuchPageError},
        {options(Format::Png, -1), existing, DrawingExport::NoSuchPageError},
        {options(Format::Png, 0, 2400 * 40), existing, DrawingExport::TooLargeError},
        {options(Format::Png, 0, 0), existing, DrawingExport::TooLargeError},
        {options(Format::Pdf), folder.filePath(QStringLiteral("missing/out.pdf")),
         DrawingExport::WriteError},
        // The second page's file cannot be made: the first goes too.
        {options(Format::Svg), folder.filePath(QStringLiteral("split.svg")),
         DrawingExport::WriteError},
    };
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("split-2.svg")));
    for (const Case &c : cases) {
        Error error;
        EXPECT_FALSE(DrawingExport::write(*drawing.pages, c.options, c.path, &error));
        EXPECT_EQ(error.code(), c.code) << error.localizedDescription().toStdString();
        EXPECT_FALSE(error.localizedDescription().isEmpty());
        EXPECT_EQ(filesIn(folder), QStringList{"keep.png"});
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "earlier export");
}

TEST(DrawingExportTest, ThumbnailsFitTheirSizeAndShowTheFirstPage)
{
    for (const QString &name : {QStringLiteral("x7_models-heart_part1.cdr"),
                                QStringLiteral("cmx_libreoffice_fdo63782-1.cmx"),
                                QStringLiteral("v23_2021_corolDrow_zakaz.cdr")}) {
        SCOPED_TRACE(name.toStdString());
        const ExportedDrawing drawing(name);
        ASSERT_TRUE(drawing.pages);
        for (int size : {128, 256}) {
            Error error;
            const QImage thumbnail = DrawingExport::thumbnail(*drawing.pages, size, &error);
            ASSERT_FALSE(thumbnail.isNull());
            EXPECT_EQ(std::max(thumbnail.width(), thumbnail.height()), size);
            EXPECT_GT(inkPixels(thumbnail), size * size / 50);
        }
    }
}
