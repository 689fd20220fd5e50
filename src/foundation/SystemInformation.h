#pragma once

#include <QString>

// Facts about the machine and operating system that the analytics requests
// report.
namespace SystemInformation {

struct OperatingSystemVersion
{
    long majorVersion = 0;
    long minorVersion = 0;
    long patchVersion = 0;
};

// The distribution's version as numbers, missing parts 0 ("12" is 12.0.0).
OperatingSystemVersion operatingSystemVersion();
// "major.minor.patch" of operatingSystemVersion().
QString operatingSystemDisplayVersion();
// The running kernel's version.
QString operatingSystemBuildVersion();
// The machine's product name from its firmware tables, else the processor
// architecture.
QString hardwareModel();

} // namespace SystemInformation
