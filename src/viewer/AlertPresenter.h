#pragma once

class Error;

// Shows errors to the user. Windows present errors through this so that
// tests and the command line can take the place of dialogs.
class AlertPresenter
{
public:
    virtual ~AlertPresenter() = default;
    // Returns once the user has dismissed the error.
    virtual void presentError(const Error &error) = 0;
};
