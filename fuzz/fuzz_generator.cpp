// The bytes are a drawing: libcdr reads them (as CorelDRAW, else as CMX)
// and drives the adapter and the SVG generator, and the pages are wrapped
// into the page document, as the parser process does.

#include "conversion/CDRStringVector.h"
#include "conversion/GenerateSVG.h"
#include "conversion/PageDocument.h"
#include "conversion/TMPManager.h"

#include <librevenge-stream/librevenge-stream.h>

#include <cstddef>
#include <cstdint>

using ParserProtocol::Format;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Images are not written anywhere; the pages refer to one name.
    TMPManager::instance().redirect(
        [](const unsigned char *, std::size_t) { return std::string("file:///tmp/image.bmp"); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    for (Format format : {Format::CorelDraw, Format::CorelExchange}) {
        librevenge::RVNGStringStream input(data, unsigned(size));
        if (!isSupported(input, format))
            continue;
        CDRStringVector pages;
        if (generateSVG(input, pages, format) && !pages.empty())
            PageDocument::write(pages);
        break;
    }
    return 0;
}
