#pragma once

#include "AlertPresenter.h"

// Presents each error in an application-modal message box.
class MessageBoxAlertPresenter : public AlertPresenter
{
public:
    void presentError(const Error &error) override;
};
