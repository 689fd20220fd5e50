#pragma once

#include "foundation/Error.h"

#include <QByteArray>
#include <QString>

// Converts one drawing file into the XHTML page document: one inline SVG per
// page, as UTF-8 bytes.
class CDR2SVG
{
public:
    static constexpr int UnsupportedFileError = 10;
    static constexpr int ConversionFailedError = 11;
    static const QString NewerVersionMessage;
    static const QString CannotOpenMessage;

    explicit CDR2SVG(QString filePath);

    const QString &filePath() const { return m_filePath; }

    // On success the document is in svgData(); on failure *error (when given)
    // says why and svgData() is left as it was.
    bool convertToSVG(Error *error);

    // The finished document; null until a conversion succeeds.
    const QByteArray &svgData() const { return m_svgData; }

private:
    QString m_filePath;
    QByteArray m_svgData;
};
