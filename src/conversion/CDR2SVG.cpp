#include "CDR2SVG.h"

#include "CDRStringVector.h"
#include "ConversionFailure.h"
#include "GenerateSVG.h"
#include "PageDocument.h"

#include <libcdr/libcdr.h>
#include <librevenge-stream/librevenge-stream.h>

// Kept as they are; windows translate them when they show them.
const QString CDR2SVG::NewerVersionMessage = QStringLiteral(
    QT_TRANSLATE_NOOP("CDR2SVG", "This file is created with newer version of CorelDRAW, to open "
                                 "this file update to Quillmoor 2!"));
const QString CDR2SVG::CannotOpenMessage = QStringLiteral(QT_TRANSLATE_NOOP(
    "CDR2SVG", "Quillmoor 1 cannot open this file, maybe you will try Quillmoor 2!"));

CDR2SVG::CDR2SVG(QString filePath)
    : m_filePath(std::move(filePath))
{}

bool CDR2SVG::convertToSVG(Error *error)
{
    librevenge::RVNGFileStream input(m_filePath.toUtf8().constData());
    if (!libcdr::CDRDocument::isSupported(&input)) {
        ConversionFailure::setError(error, UnsupportedFileError, NewerVersionMessage, m_filePath,
                                    ConversionFailure::Stage::Rejected);
        return false;
    }
    CDRStringVector pages;
    if (!generateSVG(input, pages)) {
        ConversionFailure::setError(error, ConversionFailedError, NewerVersionMessage, m_filePath,
                                    ConversionFailure::Stage::ParseFailed);
        return false;
    }
    if (pages.empty()) {
        ConversionFailure::setError(error, ConversionFailedError, CannotOpenMessage, m_filePath,
                                    ConversionFailure::Stage::NoPages);
        return false;
    }
    m_svgData = PageDocument::write(pages);
    return true;
}
