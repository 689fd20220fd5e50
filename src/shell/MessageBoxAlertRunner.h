#pragma once

#include "AlertRunner.h"

// Runs each alert as an application-modal message box.
class MessageBoxAlertRunner : public AlertRunner
{
public:
    void runModal(const QString &messageText, const QString &informativeText) override;
};
