#pragma once

#include "foundation/Error.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <memory>

// A drawing converted on the calling thread, for the command-line tools: its
// page document and the image files that the document references, which
// are removed when this goes away.
class ConvertedDrawing
{
public:
    // Converts the file with the converter for it (DrawingConverter);
    // nothing, with *error set, when that fails.
    static std::unique_ptr<ConvertedDrawing> convert(const QString &path, Error *error);
    ~ConvertedDrawing();
    ConvertedDrawing(const ConvertedDrawing &) = delete;
    ConvertedDrawing &operator=(const ConvertedDrawing &) = delete;

    const QByteArray &pageDocument() const { return m_pageDocument; }
    const QList<QUrl> &imageFiles() const { return m_images; }

private:
    ConvertedDrawing();

    QByteArray m_pageDocument;
    QList<QUrl> m_images;
};
