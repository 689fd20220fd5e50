#pragma once

#include "ParserProcess.h"

#include "foundation/Error.h"

#include <QByteArray>
#include <QString>

class CDRStringVector;

// Converts one drawing file into the XHTML page document: one inline SVG per
// page, as UTF-8 bytes. libcdr reads the drawing in a parser process of its
// own (ParserProcess), so a drawing that crashes or hangs it, or eats
// memory, fails to convert and harms nothing else.
class CDR2SVG
{
public:
    static constexpr int UnsupportedFileError = 10;
    static constexpr int ConversionFailedError = 11;
    static const QString NewerVersionMessage;
    static const QString CannotOpenMessage;

    explicit CDR2SVG(QString filePath, ParserLimits limits = {});

    const QString &filePath() const { return m_filePath; }

    // On success the document is in svgData(); on failure *error (when given)
    // says why and svgData() is left as it was.
    bool convertToSVG(Error *error);

    // The finished document; null until a conversion succeeds.
    const QByteArray &svgData() const { return m_svgData; }

    // Why the last conversion failed, for logs and details beyond the
    // error's message (which does not tell failures apart); empty after
    // success and when libcdr only rejected the file.
    const QString &failureDetail() const { return m_failureDetail; }

    // From any thread: ends a conversion in progress at once, which then
    // fails, and makes every later one fail.
    void cancel() { m_parser.cancel(); }

    // The pages wrapped into the page document.
    static QByteArray pageDocument(const CDRStringVector &pages);

private:
    QString m_filePath;
    QByteArray m_svgData;
    QString m_failureDetail;
    ParserProcess m_parser;
};
