#pragma once

#include "AlertPresenter.h"

class QMessageBox;

// Presents each error in an application-modal message box: the error's
// message as the main text, its failure reason (when it has one) below.
class MessageBoxAlertPresenter : public AlertPresenter
{
public:
    void presentError(const Error &error) override;

    // Fills the box for the error without showing it.
    static void configure(QMessageBox &box, const Error &error);
};
