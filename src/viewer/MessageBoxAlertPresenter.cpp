#include "MessageBoxAlertPresenter.h"

#include "foundation/Error.h"

#include <QCoreApplication>
#include <QMessageBox>

void MessageBoxAlertPresenter::presentError(const Error &error)
{
    QMessageBox box;
    configure(box, error);
    box.exec();
}

void MessageBoxAlertPresenter::configure(QMessageBox &box, const Error &error)
{
    box.setObjectName(QStringLiteral("errorAlert"));
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QCoreApplication::applicationName());
    // The conversion keeps its messages as they are; they are translated
    // here, under the name of the class that defines them.
    const QByteArray description = error.localizedDescription().toUtf8();
    box.setText(QCoreApplication::translate("CDR2SVG", description.constData()));
    // What really happened, below the message.
    box.setInformativeText(error.localizedFailureReason());
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
}
