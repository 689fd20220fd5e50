#pragma once

#include <QUrl>

#include <memory>

// Opens addresses in the user's browser or store application. Everything
// that sends the user to a web or store page goes through the shared
// opener, so that tests can install one that records the addresses.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    // Hands the address over; false when nothing would take it.
    virtual bool openURL(const QUrl &url) = 0;

    // The installed opener, or the desktop's when none is installed.
    static std::shared_ptr<UrlOpener> sharedOpener();
    // Installs an opener for the whole process; nullptr brings back the
    // desktop's.
    static void setSharedOpener(std::shared_ptr<UrlOpener> opener);
};
