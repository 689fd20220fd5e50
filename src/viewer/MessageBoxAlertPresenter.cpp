#include "MessageBoxAlertPresenter.h"

#include "foundation/Error.h"

#include <QCoreApplication>
#include <QMessageBox>

void MessageBoxAlertPresenter::presentError(const Error &error)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                    error.localizedDescription(), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("errorAlert"));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
