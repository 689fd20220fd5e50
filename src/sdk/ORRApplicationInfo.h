#pragma once

#include "foundation/Bundle.h"

#include <QString>
#include <QVariant>

// What the SDK reports about the host application, read from its bundle's
// information dictionary.

// The bundle identifier with every "/" replaced by "_".
QString ORRApplicationBundleIdentifier(const Bundle &bundle = Bundle::mainBundle());
QString ORRApplicationBuildVersion(const Bundle &bundle = Bundle::mainBundle());
QString ORRApplicationDisplayVersion(const Bundle &bundle = Bundle::mainBundle());
// The display name, else the bundle name, else the build version.
QString ORRApplicationName(const Bundle &bundle = Bundle::mainBundle());
bool ORRApplicationInstalledFromStore(const Bundle &bundle = Bundle::mainBundle());
bool ORRApplicationSignedForDistribution(const Bundle &bundle = Bundle::mainBundle());
// 4 from the store, 3 signed for distribution, 1 otherwise.
int ORRApplicationInstallSource(const Bundle &bundle = Bundle::mainBundle());
// Whether device identifiers may be reported; never in Emberline mode.
bool ORRShouldCollectDeviceIdentifiers(bool emberlineMode,
                                       const Bundle &bundle = Bundle::mainBundle());

// The operating system's minor version as a release number (7 is 1070);
// any other minor version gives 0.
int ORROperatingSystemVersionNumber();

// A property-list value read as a boolean: numbers are true unless zero,
// texts when they start (after blanks, a sign and zeros) with Y, y, T, t or
// a digit 1 to 9; anything else is false.
bool ORRBooleanValue(const QVariant &value);
