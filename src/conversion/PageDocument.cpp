#include "PageDocument.h"

#include "CDRStringVector.h"

#include <cstring>

namespace {

const char *const DocumentHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:svg=\"http://www.w3.org/2000/svg\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n"
    "<body>\n"
    "<?import namespace=\"svg\" urn=\"http://www.w3.org/2000/svg\"?>\n";

const char *const PageProlog = "<!-- \n"
                               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                               "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                               "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
                               " -->\n";

const char *const DocumentTail = "</body>\n</html>\n";

} // namespace

QByteArray pageDocument(const CDRStringVector &pages)
{
    qsizetype size = qsizetype(std::strlen(DocumentHead) + std::strlen(DocumentTail));
    for (unsigned i = 0; i < pages.size(); ++i)
        size += qsizetype(pages[i].str().size() + std::strlen(PageProlog) + 7);

    QByteArray document;
    document.reserve(size);
    document.append(DocumentHead);
    for (unsigned i = 0; i < pages.size(); ++i) {
        if (i > 0)
            document.append("<hr/>\n");
        document.append(PageProlog);
        const std::string &page = pages[i].str();
        document.append(page.data(), qsizetype(page.size()));
        document.append('\n');
    }
    document.append(DocumentTail);
    return document;
}
