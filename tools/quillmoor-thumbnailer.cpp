// quillmoor-thumbnailer DRAWING OUTPUT.png [SIZE]
// Makes the picture that file managers show for a drawing: its first page,
// no larger than SIZE pixels either way (128 when not given), as PNG. Run by
// the desktop through the thumbnailer entry; it shows no window, reads no
// settings and records nothing, so a drawing seen in a file manager never
// counts as opened.

#include "export/ConvertedDrawing.h"
#include "export/DrawingExport.h"

#include <QCoreApplication>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

namespace {

constexpr int DefaultSize = 128;
// Larger than any size a file manager asks for.
constexpr int MaximumSize = 4096;

QString tr(const char *text)
{
    return QCoreApplication::translate("quillmoor-thumbnailer", text);
}

int fail(const QString &message, int status = 1)
{
    std::fprintf(stderr, "quillmoor-thumbnailer: %s\n", qPrintable(message));
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() < 2 || arguments.size() > 3)
        return fail(tr("usage: quillmoor-thumbnailer DRAWING OUTPUT.png [SIZE]"), 2);
    int size = DefaultSize;
    if (arguments.size() == 3) {
        bool ok = false;
        size = arguments[2].toInt(&ok);
        if (!ok || size < 1 || size > MaximumSize)
            return fail(tr("the size must be a number of pixels from 1 to %1").arg(MaximumSize), 2);
    }

    Error error;
    const std::unique_ptr<ConvertedDrawing> drawing =
        ConvertedDrawing::convert(arguments[0], &error);
    if (!drawing)
        return fail(error.localizedDescription());
    const std::optional<DrawingPages> pages =
        DrawingPages::fromPageDocument(drawing->pageDocument(), drawing->imageFiles(), &error, 1);
    if (!pages)
        return fail(error.localizedDescription());
    const QImage thumbnail = DrawingExport::thumbnail(*pages, size, &error);
    if (thumbnail.isNull())
        return fail(error.localizedDescription());
    // A file manager must never find half a picture.
    QSaveFile file(arguments[1]);
    if (!file.open(QIODevice::WriteOnly) || !thumbnail.save(&file, "PNG") || !file.commit())
        return fail(tr("%1 cannot be written: %2").arg(arguments[1], file.errorString()));
    return 0;
}
