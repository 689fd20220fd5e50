#pragma once

#include "sdk/ORRKit.h"

#include <memory>

// The analytics kit as the SDK core starts it: its identity, and its start.
// Registered under the class name "Tally" so that the SDK finds it.
class TallyKit : public ORRKit
{
public:
    static std::shared_ptr<const TallyKit> kitClass();
    // Adds the kit to the process-wide class registry (once is enough).
    static void registerKit();

    QString className() const override { return QStringLiteral("Tally"); }
    QString bundleIdentifier() const override { return QStringLiteral("com.tarnwell.tally.mac"); }
    QString kitDisplayVersion() const override { return QStringLiteral("1.3.6"); }
    QString kitBuildVersion() const override { return QStringLiteral("29"); }
    // Starts the kit (Tally::startWithBetaToken without a token).
    void initializeIfNeeded() const override;
};
