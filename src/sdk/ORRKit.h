#pragma once

#include "foundation/ClassRegistry.h"

#include <QString>

// The kit protocol: the class operations of a kit that the SDK starts and
// reports to the service.
class ORRKit : public ClassRegistry::Class
{
public:
    virtual QString bundleIdentifier() const = 0;
    virtual QString kitDisplayVersion() const = 0;
    // A null string when the kit does not tell its build.
    virtual QString kitBuildVersion() const { return {}; }
    // Starts the kit; kits that need no start keep this empty.
    virtual void initializeIfNeeded() const {}
};
