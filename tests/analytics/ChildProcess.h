#pragma once

#include <QByteArray>

// The test program doubles as the child process of the crash, quit and
// upload tests: started with TALLY_TEST_CHILD set, it runs that mode instead of the
// tests.
inline constexpr char ChildModeVariable[] = "TALLY_TEST_CHILD";
int runChildProcess(const QByteArray &mode, int argc, char **argv);
// The child that starts the kit through the SDK and records until told to end.
int recordThroughTheKit(int argc, char **argv);
