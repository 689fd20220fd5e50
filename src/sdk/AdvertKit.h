#pragma once

#include "ORRKit.h"

#include <memory>

// Stands for the advertising library in the kit versions when the program
// contains it; it starts nothing.
class AdvertKit : public ORRKit
{
public:
    static std::shared_ptr<const AdvertKit> sharedInstance();

    QString className() const override { return QStringLiteral("AdvertKit"); }
    QString bundleIdentifier() const override { return QStringLiteral("com.ember.advert.ios"); }
    QString kitDisplayVersion() const override { return QStringLiteral("0.0.0"); }
};
