#pragma once

#include <QByteArray>

// The test program doubles as the child process of the crash and quit
// tests: started with TALLY_TEST_CHILD set, it runs that mode instead of the
// tests.
inline constexpr char ChildModeVariable[] = "TALLY_TEST_CHILD";
int runChildProcess(const QByteArray &mode, int argc, char **argv);
