#include "TestDisplay.h"

#include <QByteArray>
#include <QList>

void useAssignedTestDisplay()
{
    // ctest describes the display it gave this test as "id:x99,slots:1";
    // resource names cannot hold a colon, so "x99" stands for ":99".
    const QByteArray assigned = qgetenv("CTEST_RESOURCE_GROUP_0_DISPLAYS");
    for (const QByteArray &field : assigned.split(',')) {
        if (field.startsWith("id:x") && field.size() > 4) {
            qputenv("DISPLAY", ':' + field.mid(4));
            return;
        }
    }
}
