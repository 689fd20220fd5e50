#include "MessageBoxAlertRunner.h"

#include <QMessageBox>

void MessageBoxAlertRunner::runModal(const QString &messageText, const QString &informativeText)
{
    QMessageBox box(QMessageBox::Warning, messageText, messageText, QMessageBox::NoButton);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setInformativeText(informativeText);
    box.setObjectName(QStringLiteral("shellAlert"));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
