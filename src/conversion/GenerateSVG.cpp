#include "GenerateSVG.h"

#include "CDRSVGGenerator.h"
#include "RevengeDrawingAdapter.h"

#include <libcdr/libcdr.h>

using ParserProtocol::Format;

bool isSupported(librevenge::RVNGInputStream &input, Format format)
{
    switch (format) {
    case Format::CorelDraw:
        return libcdr::CDRDocument::isSupported(&input);
    case Format::CorelExchange:
        return libcdr::CMXDocument::isSupported(&input);
    }
    return false;
}

bool generateSVG(librevenge::RVNGInputStream &input, CDRStringVector &pages, Format format)
{
    CDRSVGGenerator generator(pages);
    RevengeDrawingAdapter adapter(generator);
    switch (format) {
    case Format::CorelDraw:
        return libcdr::CDRDocument::parse(&input, &adapter);
    case Format::CorelExchange:
        return libcdr::CMXDocument::parse(&input, &adapter);
    }
    return false;
}
