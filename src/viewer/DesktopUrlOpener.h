#pragma once

#include "UrlOpener.h"

// Opens addresses with the desktop's handler for their scheme.
class DesktopUrlOpener : public UrlOpener
{
public:
    bool openURL(const QUrl &url) override;
};
