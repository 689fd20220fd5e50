#pragma once

#include "foundation/ClassRegistry.h"

#include <QString>

#include <memory>

// Kits from before the kit protocol: their class has a shared instance,
// and that instance starts the kit and tells its identity.
class ORRLegacyKitClass : public ClassRegistry::Class
{
public:
    virtual std::shared_ptr<ClassRegistry::Object> sharedInstance() const = 0;
};

// What a shared instance must answer for its kit to be accepted.
class ORRLegacyKitInstance
{
public:
    virtual ~ORRLegacyKitInstance() = default;
    virtual void start() = 0;
    virtual QString bundleIdentifier() const = 0;
    virtual QString version() const = 0;
};
