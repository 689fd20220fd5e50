#include "ParserConverter.h"

#include "CDR2SVG.h"
#include "ConversionFailure.h"
#include "PageDocument.h"
#include "TMPManager.h"

#include "foundation/Log.h"

namespace {

using Stage = ConversionFailure::Stage;

// Drawn images reach this process, which writes them into the image store
// as a parse inside it would.
std::string saveImage(QByteArrayView bytes)
{
    return TMPManager::instance().save(reinterpret_cast<const unsigned char *>(bytes.data()),
                                       std::size_t(bytes.size()));
}

} // namespace

ParserConverter::ParserConverter(QString filePath, ParserProtocol::Format format,
                                 ParserLimits limits)
    : m_filePath(std::move(filePath))
    , m_format(format)
    , m_parser(limits)
{}

bool ParserConverter::convertToSVG(Error *error)
{
    const ParseResult result = m_parser.parse(m_filePath, m_format, saveImage);
    m_failureDetail = result.detail;
    auto fail = [&](int code, const QString &message, Stage stage) {
        ConversionFailure::setError(error, code, message, m_filePath, stage);
        return false;
    };
    auto parserFailed = [&](Stage stage) {
        systemLog(QStringLiteral("Could not convert %1: %2").arg(m_filePath, m_failureDetail));
        return fail(CDR2SVG::ConversionFailedError, CDR2SVG::NewerVersionMessage, stage);
    };
    using Status = ParseResult::Status;
    switch (result.status) {
    case Status::NotSupported:
        return fail(CDR2SVG::UnsupportedFileError, CDR2SVG::NewerVersionMessage, Stage::Rejected);
    case Status::ParseFailed:
        return fail(CDR2SVG::ConversionFailedError, CDR2SVG::NewerVersionMessage,
                    Stage::ParseFailed);
    case Status::Crashed:
        return parserFailed(Stage::ParserCrashed);
    case Status::TimedOut:
        return parserFailed(Stage::ParserTimedOut);
    case Status::OutOfMemory:
        return parserFailed(Stage::ParserOutOfMemory);
    case Status::Cancelled:
        return parserFailed(Stage::Cancelled);
    case Status::NotStarted:
        return parserFailed(Stage::ParserUnavailable);
    case Status::Parsed:
        break;
    }
    if (result.pages.empty())
        return fail(CDR2SVG::ConversionFailedError, CDR2SVG::CannotOpenMessage, Stage::NoPages);
    m_svgData = PageDocument::write(result.pages);
    return true;
}
