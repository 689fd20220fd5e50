#include "CDRLoadOperation.h"

#include "ConversionQueue.h"
#include "DrawingConverter.h"
#include "TMPManager.h"
#include "TemporaryFiles.h"

#include "foundation/NotificationCenter.h"

#include <thread>

CDRLoadOperation::CDRLoadOperation()
    : m_temporaryFiles(std::make_shared<TemporaryFiles>())
{}

void CDRLoadOperation::setTemporaryFiles(std::shared_ptr<TemporaryFiles> files)
{
    if (files)
        m_temporaryFiles = std::move(files);
}

void CDRLoadOperation::cancel()
{
    Operation::cancel();
    if (m_convertor)
        m_convertor->cancel();
}

void CDRLoadOperation::main()
{
    notifyDocument(
        [this](CDRLoadOperationDelegate *document) { document->cdrLoadOperationWillStart(this); });

    Error error;
    bool delivered = false;
    if (convert(&error)) {
        delivered = notifyDocument([this](CDRLoadOperationDelegate *document) {
            document->cdrLoadOperationDidFinish(this);
        });
    } else {
        delivered = notifyDocument([&error](CDRLoadOperationDelegate *document) {
            document->cdrLoadOperationDidFailWithError(error);
        });
    }
    // No document took the outcome, so none will remove the images.
    if (!delivered)
        m_temporaryFiles->removeAll();
}

bool CDRLoadOperation::convert(Error *error)
{
    if (!m_convertor)
        return false;
    // The image store announces each file on the thread that wrote it; only
    // this conversion writes on this thread while it runs.
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const std::thread::id converting = std::this_thread::get_id();
    const auto observation = center.addObserver(
        TMPManager::DidSaveFileNotification, nullptr, this,
        [files = m_temporaryFiles, converting](const Notification &notification) {
            const QUrl url = notification.userInfo.value(TMPManager::FilePathKey).toUrl();
            if (!url.isEmpty() && std::this_thread::get_id() == converting)
                files->add(url);
        });
    const bool converted = m_convertor->convertToSVG(error);
    center.removeObserver(observation);
    return converted;
}

bool CDRLoadOperation::notifyDocument(const std::function<void(CDRLoadOperationDelegate *)> &call)
{
    bool delivered = false;
    runForConversionOnMainThread([this, &call, &delivered] {
        // Checked on the main thread, where documents are destroyed and
        // cancel their operations.
        if (isCancelled())
            return;
        if (auto *document = dynamic_cast<CDRLoadOperationDelegate *>(m_document.data())) {
            call(document);
            delivered = true;
        }
    });
    return delivered;
}
