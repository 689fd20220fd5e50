#include "TallyKit.h"

#include "Tally.h"

std::shared_ptr<const TallyKit> TallyKit::kitClass()
{
    static const auto kit = std::make_shared<const TallyKit>();
    return kit;
}

void TallyKit::registerKit()
{
    ClassRegistry::shared().registerClass(kitClass());
}

void TallyKit::initializeIfNeeded() const
{
    Tally::sharedInstance();
}
