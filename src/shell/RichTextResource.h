#pragma once

#include <QString>

class Bundle;

// The rich text of the bundle's resource `name` (kept as HTML), or a null
// string when the bundle has no such resource or it cannot be read.
QString richTextResource(const Bundle &bundle, const QString &name);
