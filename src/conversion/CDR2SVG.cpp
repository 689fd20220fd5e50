#include "CDR2SVG.h"

// Kept as they are; windows translate them when they show them.
const QString CDR2SVG::NewerVersionMessage = QStringLiteral(
    QT_TRANSLATE_NOOP("CDR2SVG", "This file is created with newer version of CorelDRAW, to open "
                                 "this file update to Quillmoor 2!"));
const QString CDR2SVG::CannotOpenMessage = QStringLiteral(QT_TRANSLATE_NOOP(
    "CDR2SVG", "Quillmoor 1 cannot open this file, maybe you will try Quillmoor 2!"));

CDR2SVG::CDR2SVG(QString filePath, ParserLimits limits)
    : ParserConverter(std::move(filePath), ParserProtocol::Format::CorelDraw, limits)
{}
