#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <memory>

// The application's icon as the service stores it: PNG bytes, their SHA-1
// text, and the size in points.
class ORRIcon
{
public:
    ORRIcon(QByteArray data, QString dataHash, QSizeF size, bool prerendered);
    ORRIcon(QByteArray data, QSizeF size, bool prerendered = true);
    // Nothing when the image cannot be written as PNG.
    static std::shared_ptr<ORRIcon> initWithImage(const QImage &image);

    const QByteArray &data() const { return m_data; }
    const QString &dataHash() const { return m_dataHash; }
    QSizeF size() const { return m_size; }
    bool prerendered() const { return m_prerendered; }

    double surfaceArea() const { return m_size.width() * m_size.height(); }
    // At most 1024 x 1024 points.
    bool isWithinMaxSurfaceArea() const { return surfaceArea() <= 1048576.0; }
    bool largerThanSize(double width, double height) const
    {
        return surfaceArea() > width * height;
    }

private:
    QByteArray m_data;
    QString m_dataHash;
    QSizeF m_size;
    bool m_prerendered;
};
