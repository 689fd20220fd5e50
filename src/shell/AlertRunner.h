#pragma once

#include <QString>

// Runs informational alerts with a single "OK" button. The shell runs its
// alerts through this so that tests can answer them.
class AlertRunner
{
public:
    virtual ~AlertRunner() = default;
    // Returns once the user has dismissed the alert.
    virtual void runModal(const QString &messageText, const QString &informativeText) = 0;
};
