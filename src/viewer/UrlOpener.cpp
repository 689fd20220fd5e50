#include "UrlOpener.h"

#include "DesktopUrlOpener.h"

#include <mutex>

namespace {

struct SharedOpener
{
    std::mutex mutex;
    std::shared_ptr<UrlOpener> installed;
};

SharedOpener &sharedOpenerSlot()
{
    static SharedOpener slot;
    return slot;
}

} // namespace

std::shared_ptr<UrlOpener> UrlOpener::sharedOpener()
{
    SharedOpener &slot = sharedOpenerSlot();
    std::lock_guard lock(slot.mutex);
    if (!slot.installed)
        slot.installed = std::make_shared<DesktopUrlOpener>();
    return slot.installed;
}

void UrlOpener::setSharedOpener(std::shared_ptr<UrlOpener> opener)
{
    SharedOpener &slot = sharedOpenerSlot();
    std::lock_guard lock(slot.mutex);
    slot.installed = std::move(opener);
}
