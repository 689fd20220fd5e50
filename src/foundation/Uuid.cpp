#include "Uuid.h"

#include <QUuid>

QString uuidText()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
