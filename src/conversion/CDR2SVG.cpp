#include "CDR2SVG.h"

#include "CDRStringVector.h"
#include "TMPManager.h"

#include "foundation/Log.h"

#include <cstring>

const QString CDR2SVG::NewerVersionMessage = QStringLiteral(
    "This file is created with newer version of CorelDRAW, to open this file update to "
    "Quillmoor 2!");
const QString CDR2SVG::CannotOpenMessage =
    QStringLiteral("Quillmoor 1 cannot open this file, maybe you will try Quillmoor 2!");

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

void setError(Error *error, int code, const QString &message)
{
    if (error)
        *error = Error::withDescription(Error::CocoaErrorDomain, code, message);
}

std::string saveImage(QByteArrayView bytes)
{
    return TMPManager::instance().save(reinterpret_cast<const unsigned char *>(bytes.data()),
                                       std::size_t(bytes.size()));
}

} // namespace

QByteArray CDR2SVG::pageDocument(const CDRStringVector &pages)
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

CDR2SVG::CDR2SVG(QString filePath, ParserLimits limits)
    : m_filePath(std::move(filePath))
    , m_parser(limits)
{}

bool CDR2SVG::convertToSVG(Error *error)
{
    ParseResult result = m_parser.parse(m_filePath, ParserProtocol::Format::CorelDraw, saveImage);
    m_failureDetail = result.detail;
    switch (result.status) {
    case ParseResult::Status::NotSupported:
        setError(error, UnsupportedFileError, NewerVersionMessage);
        return false;
    case ParseResult::Status::Failed:
        // A crash, hang or limit of the parser is a failed parse too.
        systemLog(QStringLiteral("Could not convert %1: %2").arg(m_filePath, m_failureDetail));
        setError(error, ConversionFailedError, NewerVersionMessage);
        return false;
    case ParseResult::Status::Parsed:
        break;
    }
    if (result.pages.empty()) {
        setError(error, ConversionFailedError, CannotOpenMessage);
        return false;
    }
    m_svgData = pageDocument(result.pages);
    return true;
}
