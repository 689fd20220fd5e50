#pragma once

#include "DrawingConverter.h"

// Converts one CorelDRAW drawing into the XHTML page document. Refuses
// every other file, CMX exchange files included (CMX2SVG reads those).
class CDR2SVG : public DrawingConverter
{
public:
    static constexpr int UnsupportedFileError = 10;
    static constexpr int ConversionFailedError = 11;
    static const QString NewerVersionMessage;
    static const QString CannotOpenMessage;

    explicit CDR2SVG(QString filePath);

    const QString &filePath() const override { return m_filePath; }
    bool convertToSVG(Error *error) override;
    const QByteArray &svgData() const override { return m_svgData; }

private:
    QString m_filePath;
    QByteArray m_svgData;
};
