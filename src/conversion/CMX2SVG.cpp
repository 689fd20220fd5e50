#include "CMX2SVG.h"

#include "CDR2SVG.h"
#include "CDRStringVector.h"
#include "GenerateSVG.h"
#include "PageDocument.h"

#include <libcdr/libcdr.h>
#include <librevenge-stream/librevenge-stream.h>

namespace {

void setError(Error *error, int code, const QString &message)
{
    if (error)
        *error = Error::withDescription(Error::CocoaErrorDomain, code, message);
}

} // namespace

CMX2SVG::CMX2SVG(QString filePath)
    : m_filePath(std::move(filePath))
{}

bool CMX2SVG::convertToSVG(Error *error)
{
    librevenge::RVNGFileStream input(m_filePath.toUtf8().constData());
    if (!libcdr::CMXDocument::isSupported(&input)) {
        setError(error, CDR2SVG::UnsupportedFileError, CDR2SVG::NewerVersionMessage);
        return false;
    }
    CDRStringVector pages;
    if (!generateCMXSVG(input, pages)) {
        setError(error, CDR2SVG::ConversionFailedError, CDR2SVG::NewerVersionMessage);
        return false;
    }
    if (pages.empty()) {
        setError(error, CDR2SVG::ConversionFailedError, CDR2SVG::CannotOpenMessage);
        return false;
    }
    m_svgData = pageDocument(pages);
    return true;
}
