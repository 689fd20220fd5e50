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
    // A host that links the umbrella kit starts the analytics through it.
    if (const auto umbrella =
            ClassRegistry::shared().classNamed<ORRKit>(QStringLiteral("Tarnwell"))) {
        umbrella->initializeIfNeeded();
        return;
    }
    Tally::startWithBetaToken();
}
