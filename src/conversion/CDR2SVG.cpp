#include "CDR2SVG.h"

#include "CDRStringVector.h"
#include "GenerateSVG.h"
#include "PageDocument.h"

#include <libcdr/libcdr.h>
#include <librevenge-stream/librevenge-stream.h>

const QString CDR2SVG::NewerVersionMessage = QStringLiteral(
    "This file is created with newer version of CorelDRAW, to open this file update to "
    "Quillmoor 2!");
const QString CDR2SVG::CannotOpenMessage =
    QStringLiteral("Quillmoor 1 cannot open this file, maybe you will try Quillmoor 2!");

namespace {

void setError(Error *error, int code, const QString &message)
{
    if (error)
        *error = Error::withDescription(Error::CocoaErrorDomain, code, message);
}

} // namespace

CDR2SVG::CDR2SVG(QString filePath)
    : m_filePath(std::move(filePath))
{}

bool CDR2SVG::convertToSVG(Error *error)
{
    librevenge::RVNGFileStream input(m_filePath.toUtf8().constData());
    if (!libcdr::CDRDocument::isSupported(&input)) {
        setError(error, UnsupportedFileError, NewerVersionMessage);
        return false;
    }
    CDRStringVector pages;
    if (!generateSVG(input, pages)) {
        setError(error, ConversionFailedError, NewerVersionMessage);
        return false;
    }
    if (pages.empty()) {
        setError(error, ConversionFailedError, CannotOpenMessage);
        return false;
    }
    m_svgData = pageDocument(pages);
    return true;
}
