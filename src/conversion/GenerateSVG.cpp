#include "GenerateSVG.h"

#include "CDRSVGGenerator.h"
#include "RevengeDrawingAdapter.h"

#include <libcdr/libcdr.h>

bool generateSVG(librevenge::RVNGInputStream &input, CDRStringVector &pages)
{
    CDRSVGGenerator generator(pages);
    RevengeDrawingAdapter adapter(generator);
    return libcdr::CDRDocument::parse(&input, &adapter);
}

bool generateCMXSVG(librevenge::RVNGInputStream &input, CDRStringVector &pages)
{
    CDRSVGGenerator generator(pages);
    RevengeDrawingAdapter adapter(generator);
    return libcdr::CMXDocument::parse(&input, &adapter);
}
