#pragma once

namespace librevenge {
class RVNGInputStream;
}
class CDRStringVector;

// Parses a drawing with libcdr into the system's own SVG generator, one
// string per page. Returns libcdr's parse result.
bool generateSVG(librevenge::RVNGInputStream &input, CDRStringVector &pages);

// The same for a CMX exchange file, through libcdr's CMX reader.
bool generateCMXSVG(librevenge::RVNGInputStream &input, CDRStringVector &pages);
