#include "RichTextResource.h"

#include "foundation/Bundle.h"

#include <QFile>

QString richTextResource(const Bundle &bundle, const QString &name)
{
    const QString path = bundle.pathForResource(name, QStringLiteral("html"));
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
