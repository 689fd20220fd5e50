#include "DrawingConverter.h"

#include "CDR2SVG.h"
#include "CMX2SVG.h"

std::shared_ptr<DrawingConverter> DrawingConverter::forFile(const QString &filePath)
{
    if (isExchangeFile(filePath))
        return std::make_shared<CMX2SVG>(filePath);
    return std::make_shared<CDR2SVG>(filePath);
}

bool DrawingConverter::isExchangeFile(const QString &filePath)
{
    return filePath.endsWith(QStringLiteral(".cmx"), Qt::CaseInsensitive);
}
