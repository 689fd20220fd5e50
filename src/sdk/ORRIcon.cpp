#include "ORRIcon.h"

#include "ORRHashing.h"

#include <QBuffer>

ORRIcon::ORRIcon(QByteArray data, QString dataHash, QSizeF size, bool prerendered)
    : m_data(std::move(data))
    , m_dataHash(std::move(dataHash))
    , m_size(size)
    , m_prerendered(prerendered)
{}

ORRIcon::ORRIcon(QByteArray data, QSizeF size, bool prerendered)
    : ORRIcon(data, ORRSHA1String(data), size, prerendered)
{}

std::shared_ptr<ORRIcon> ORRIcon::initWithImage(const QImage &image)
{
    if (image.isNull())
        return nullptr;
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return nullptr;
    // Points, not pixels: a high-resolution image counts by its logical size.
    const QSizeF size = image.deviceIndependentSize();
    return std::make_shared<ORRIcon>(png, size);
}
