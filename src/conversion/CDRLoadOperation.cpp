#include "CDRLoadOperation.h"

#include "CDR2SVG.h"

#include "foundation/MainThread.h"

void CDRLoadOperation::main()
{
    notifyDocument(
        [this](CDRLoadOperationDelegate *document) { document->cdrLoadOperationWillStart(this); });

    Error error;
    const bool converted = m_convertor && m_convertor->convertToSVG(&error);

    if (converted) {
        notifyDocument([this](CDRLoadOperationDelegate *document) {
            document->cdrLoadOperationDidFinish(this);
        });
    } else {
        notifyDocument([&error](CDRLoadOperationDelegate *document) {
            document->cdrLoadOperationDidFailWithError(error);
        });
    }
}

void CDRLoadOperation::notifyDocument(const std::function<void(CDRLoadOperationDelegate *)> &call)
{
    runOnMainThreadAndWait([this, &call] {
        // Checked on the main thread, where documents are destroyed.
        if (auto *document = dynamic_cast<CDRLoadOperationDelegate *>(m_document.data()))
            call(document);
    });
}
