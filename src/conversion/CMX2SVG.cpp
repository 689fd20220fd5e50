#include "CMX2SVG.h"

#include "CDR2SVG.h"
#include "CDRStringVector.h"
#include "ConversionFailure.h"
#include "GenerateSVG.h"
#include "PageDocument.h"

#include <libcdr/libcdr.h>
#include <librevenge-stream/librevenge-stream.h>

CMX2SVG::CMX2SVG(QString filePath)
    : m_filePath(std::move(filePath))
{}

bool CMX2SVG::convertToSVG(Error *error)
{
    librevenge::RVNGFileStream input(m_filePath.toUtf8().constData());
    if (!libcdr::CMXDocument::isSupported(&input)) {
        ConversionFailure::setError(error, CDR2SVG::UnsupportedFileError,
                                    CDR2SVG::NewerVersionMessage, m_filePath,
                                    ConversionFailure::Stage::Rejected);
        return false;
    }
    CDRStringVector pages;
    if (!generateCMXSVG(input, pages)) {
        ConversionFailure::setError(error, CDR2SVG::ConversionFailedError,
                                    CDR2SVG::NewerVersionMessage, m_filePath,
                                    ConversionFailure::Stage::ParseFailed);
        return false;
    }
    if (pages.empty()) {
        ConversionFailure::setError(error, CDR2SVG::ConversionFailedError,
                                    CDR2SVG::CannotOpenMessage, m_filePath,
                                    ConversionFailure::Stage::NoPages);
        return false;
    }
    m_svgData = PageDocument::write(pages);
    return true;
}
