#pragma once

namespace librevenge {
class RVNGInputStream;
}
class CDRStringVector;

// Parses a drawing with libcdr into the system's own SVG generator, one
// string per page. Returns libcdr's parse result.
bool generateSVG(librevenge::RVNGInputStream &input, CDRStringVector &pages);
