// quillmoor-convert DRAWING [-o OUT.xhtml]
// Converts one drawing into the page document the viewer shows, with drawn
// images embedded so that the result stands on its own.

#include "conversion/DrawingConverter.h"
#include "conversion/TMPManager.h"
#include "foundation/NotificationCenter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QUrl>

#include <cstdio>
#include <optional>

namespace {

enum ExitStatus
{
    Success = 0,
    Failure = 1,
    Usage = 2
};

// Collects the temporary images of the conversion and deletes them when the
// tool ends, whatever the outcome.
class TemporaryImages
{
public:
    TemporaryImages()
    {
        NotificationCenter::defaultCenter().addObserver(
            TMPManager::DidSaveFileNotification, nullptr, this, [this](const Notification &n) {
                m_urls.append(n.userInfo.value(TMPManager::FilePathKey).toUrl());
            });
    }
    ~TemporaryImages()
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        for (const QUrl &url : std::as_const(m_urls))
            QFile::remove(url.toLocalFile());
    }
    TemporaryImages(const TemporaryImages &) = delete;
    TemporaryImages &operator=(const TemporaryImages &) = delete;

    // The document with each image reference replaced by a data URL holding
    // the image itself. Images are referenced in the order they were saved,
    // so one pass over the document finds them all.
    std::optional<QByteArray> embeddedInto(const QByteArray &document) const
    {
        QByteArray result;
        qsizetype position = 0;
        for (const QUrl &url : m_urls) {
            QFile image(url.toLocalFile());
            if (!image.open(QIODevice::ReadOnly))
                return std::nullopt;
            const QByteArray reference = "xlink:href=\"" + url.toEncoded() + "\"";
            const qsizetype found = document.indexOf(reference, position);
            if (found < 0)
                continue;
            result.append(QByteArrayView(document).sliced(position, found - position));
            result.append("xlink:href=\"data:image/bmp;base64,");
            result.append(image.readAll().toBase64());
            result.append('"');
            position = found + reference.size();
        }
        if (position == 0)
            return document;
        result.append(QByteArrayView(document).sliced(position));
        return result;
    }

private:
    QList<QUrl> m_urls;
};

bool writeOutput(const QByteArray &document, const QString &path)
{
    if (path.isEmpty())
        return std::fwrite(document.constData(), 1, size_t(document.size()), stdout) ==
                   size_t(document.size()) &&
               std::fflush(stdout) == 0;
    // Written beside the target and renamed, so a failed run leaves no file.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(document) == document.size() &&
           file.commit();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillmoor-convert"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts a CorelDRAW drawing into an XHTML document with one SVG per page."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("drawing"),
                                 QStringLiteral("The drawing to convert."));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write the document to <file> instead of standard output."),
        QStringLiteral("file"));
    parser.addOption(outputOption);
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.helpText()));
        return Usage;
    }

    TemporaryImages images;
    const std::shared_ptr<DrawingConverter> converter =
        DrawingConverter::forFile(arguments.first());
    Error error;
    if (!converter->convertToSVG(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
        // Each conversion error code has an exit status of its own.
        return error.code() > Usage ? error.code() : Failure;
    }

    const std::optional<QByteArray> document = images.embeddedInto(converter->svgData());
    if (!document) {
        std::fprintf(stderr, "Could not read back a drawn image.\n");
        return Failure;
    }
    const QString output = parser.value(outputOption);
    if (!writeOutput(*document, output)) {
        std::fprintf(stderr, "Could not write %s\n",
                     qPrintable(output.isEmpty() ? QStringLiteral("standard output") : output));
        return Failure;
    }
    return Success;
}
