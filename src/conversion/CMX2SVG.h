#pragma once

#include "ParserConverter.h"

// Converts a CMX exchange file into the XHTML page document, through
// libcdr's CMX reader and the same SVG generator as drawings. Fails with
// the codes and messages of CDR2SVG.
class CMX2SVG : public ParserConverter
{
public:
    explicit CMX2SVG(QString filePath, ParserLimits limits = {});
};
