#pragma once

#include "TLYCrashEvent.h"
#include "TLYEvent.h"

#include <memory>

// What the Tally facade hands its events to: the analytics pipeline's
// controller. Both calls come from any thread and must return quickly; the
// controller does its work on its own queue.
class TLYTallyControllerInterface
{
public:
    virtual ~TLYTallyControllerInterface() = default;

    virtual void logEvent(std::shared_ptr<const TLYEvent> event) = 0;
    // The crash of the previous execution, recorded apart from this one's events.
    virtual void logCrashEvent(std::shared_ptr<const TLYCrashEvent> event) = 0;
    // Records and sends nothing more; returns once the controller's queued
    // work has run, so that its files can be removed.
    virtual void stop() {}
};
