#include "AdvertKit.h"

std::shared_ptr<const AdvertKit> AdvertKit::sharedInstance()
{
    static const auto instance = std::make_shared<const AdvertKit>();
    return instance;
}
