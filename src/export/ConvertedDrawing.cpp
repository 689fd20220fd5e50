#include "ConvertedDrawing.h"

#include "conversion/DrawingConverter.h"
#include "conversion/TMPManager.h"
#include "foundation/NotificationCenter.h"

#include <QFile>

#include <thread>

ConvertedDrawing::ConvertedDrawing() = default;

ConvertedDrawing::~ConvertedDrawing()
{
    for (const QUrl &url : std::as_const(m_images))
        QFile::remove(url.toLocalFile());
}

std::unique_ptr<ConvertedDrawing> ConvertedDrawing::convert(const QString &path, Error *error)
{
    std::unique_ptr<ConvertedDrawing> drawing(new ConvertedDrawing);
    // The image store announces each file on the thread that wrote it, and
    // this thread converts only this drawing.
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const std::thread::id converting = std::this_thread::get_id();
    ConvertedDrawing *const target = drawing.get();
    const auto observation =
        center.addObserver(TMPManager::DidSaveFileNotification, nullptr, target,
                           [target, converting](const Notification &notification) {
                               const QUrl url =
                                   notification.userInfo.value(TMPManager::FilePathKey).toUrl();
                               if (!url.isEmpty() && std::this_thread::get_id() == converting)
                                   target->m_images.append(url);
                           });
    const std::shared_ptr<DrawingConverter> converter = DrawingConverter::forFile(path);
    const bool converted = converter->convertToSVG(error);
    center.removeObserver(observation);
    if (!converted)
        return nullptr; // the images go with the drawing
    drawing->m_pageDocument = converter->svgData();
    return drawing;
}
