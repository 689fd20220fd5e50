#pragma once

#include "ParserProtocol.h"

namespace librevenge {
class RVNGInputStream;
}
class CDRStringVector;

// Whether libcdr reads the stream as a drawing of the format.
bool isSupported(librevenge::RVNGInputStream &input,
                 ParserProtocol::Format format = ParserProtocol::Format::CorelDraw);

// Parses a drawing with libcdr (its CMX reader for exchange files) into the
// system's own SVG generator, one string per page. Returns libcdr's parse
// result.
bool generateSVG(librevenge::RVNGInputStream &input, CDRStringVector &pages,
                 ParserProtocol::Format format = ParserProtocol::Format::CorelDraw);
