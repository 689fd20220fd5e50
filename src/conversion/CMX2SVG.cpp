#include "CMX2SVG.h"

CMX2SVG::CMX2SVG(QString filePath, ParserLimits limits)
    : ParserConverter(std::move(filePath), ParserProtocol::Format::CorelExchange, limits)
{}
