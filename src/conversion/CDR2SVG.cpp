#include "CDR2SVG.h"

#include "CDRStringVector.h"
#include "ConversionFailure.h"
#include "GenerateSVG.h"

#include <libcdr/libcdr.h>
#include <librevenge-stream/librevenge-stream.h>

#include <cstring>

// Kept as they are; windows translate them when they show them.
const QString CDR2SVG::NewerVersionMessage = QStringLiteral(
    QT_TRANSLATE_NOOP("CDR2SVG", "This file is created with newer version of CorelDRAW, to open "
                                 "this file update to Quillmoor 2!"));
const QString CDR2SVG::CannotOpenMessage = QStringLiteral(QT_TRANSLATE_NOOP(
    "CDR2SVG", "Quillmoor 1 cannot open this file, maybe you will try Quillmoor 2!"));

namespace {

const char *const DocumentHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:svg=\"http://www.w3.org/2000/svg\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n"
    "<body>\n"
    "<?import namespace=\"svg\" urn=\"http://www.w3.org/2000/svg\"?>\n";

const char *const PageProlog = "<!-- \n"
                               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                               "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                               "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
                               " -->\n";

const char *const DocumentTail = "</body>\n</html>\n";

QByteArray pageDocument(const CDRStringVector &pages)
{
    qsizetype size = qsizetype(std::strlen(DocumentHead) + std::strlen(DocumentTail));
    for (unsigned i = 0; i < pages.size(); ++i)
        size += qsizetype(pages[i].str().size() + std::strlen(PageProlog) + 7);

    QByteArray document;
    document.reserve(size);
    document.append(DocumentHead);
    for (unsigned i = 0; i < pages.size(); ++i) {
        if (i > 0)
            document.append("<hr/>\n");
        document.append(PageProlog);
        const std::string &page = pages[i].str();
        document.append(page.data(), qsizetype(page.size()));
        document.append('\n');
    }
    document.append(DocumentTail);
    return document;
}

// The design's message, and beside it what really happened to the file.
void setError(Error *error, int code, const QString &message, const QString &filePath,
              ConversionFailure::Stage stage)
{
    if (error)
        *error =
            Error(Error::CocoaErrorDomain, code,
                  {{Error::LocalizedDescriptionKey, message},
                   {Error::LocalizedFailureReasonKey, ConversionFailure::reason(filePath, stage)}});
}

} // namespace

CDR2SVG::CDR2SVG(QString filePath)
    : m_filePath(std::move(filePath))
{}

bool CDR2SVG::convertToSVG(Error *error)
{
    librevenge::RVNGFileStream input(m_filePath.toUtf8().constData());
    if (!libcdr::CDRDocument::isSupported(&input)) {
        setError(error, UnsupportedFileError, NewerVersionMessage, m_filePath,
                 ConversionFailure::Stage::Rejected);
        return false;
    }
    CDRStringVector pages;
    if (!generateSVG(input, pages)) {
        setError(error, ConversionFailedError, NewerVersionMessage, m_filePath,
                 ConversionFailure::Stage::ParseFailed);
        return false;
    }
    if (pages.empty()) {
        setError(error, ConversionFailedError, CannotOpenMessage, m_filePath,
                 ConversionFailure::Stage::NoPages);
        return false;
    }
    m_svgData = pageDocument(pages);
    return true;
}
