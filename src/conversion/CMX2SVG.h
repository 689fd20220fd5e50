#pragma once

#include "DrawingConverter.h"

// Converts a CMX exchange file into the XHTML page document, through
// libcdr's CMX reader and the same SVG generator as drawings. Fails with
// the codes and messages of CDR2SVG.
class CMX2SVG : public DrawingConverter
{
public:
    explicit CMX2SVG(QString filePath);

    const QString &filePath() const override { return m_filePath; }
    bool convertToSVG(Error *error) override;
    const QByteArray &svgData() const override { return m_svgData; }

private:
    QString m_filePath;
    QByteArray m_svgData;
};
