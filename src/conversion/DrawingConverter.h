#pragma once

#include "foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <memory>

// Turns one drawing file into the XHTML page document the viewer shows: one
// inline SVG per page, as UTF-8 bytes. CorelDRAW drawings and CMX exchange
// files each have a converter of their own; documents, the command-line
// tools and the thumbnailer see only this interface.
class DrawingConverter
{
public:
    virtual ~DrawingConverter() = default;

    // The converter for the file, chosen by its name, which is all that can
    // be known without reading it: ".cmx" files are exchange files, every
    // other file is taken for a CorelDRAW drawing.
    static std::shared_ptr<DrawingConverter> forFile(const QString &filePath);
    static bool isExchangeFile(const QString &filePath);

    virtual const QString &filePath() const = 0;
    // On success the document is in svgData(); on failure *error (when
    // given) says why and svgData() is left as it was.
    virtual bool convertToSVG(Error *error) = 0;
    // The finished document; null until a conversion succeeds.
    virtual const QByteArray &svgData() const = 0;
    // From any thread: ends a conversion in progress at once, which then
    // fails, and makes every later one fail.
    virtual void cancel() = 0;
};
