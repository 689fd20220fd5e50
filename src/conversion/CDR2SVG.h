#pragma once

#include "ParserConverter.h"

// Converts one CorelDRAW drawing into the XHTML page document. Refuses
// every other file, CMX exchange files included (CMX2SVG reads those).
class CDR2SVG : public ParserConverter
{
public:
    static constexpr int UnsupportedFileError = 10;
    static constexpr int ConversionFailedError = 11;
    static const QString NewerVersionMessage;
    static const QString CannotOpenMessage;

    explicit CDR2SVG(QString filePath, ParserLimits limits = {});
};
