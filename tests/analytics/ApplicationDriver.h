#pragma once

// The test program doubles as the application under test: started with
// this variable set, it runs Quillmoor as its main() does, and once it has
// launched it takes commands from standard input, one a line, answering
// each with one line "driver: ..." on standard output:
//
//   trigger ACTION   triggers the menu action of that object name
//   click BUTTON     clicks the button of that object name
//   idle             waits until the analytics kit has done all it was given
//   settled          waits until the kit has applied downloaded settings
//                    and done what they asked for
//   session          the SDK's execution identifier, or "none" without a kit
//
// It answers "launched" first, when the launch has finished, and quits as
// the Quit command does when its input ends.
inline constexpr char DriveVariable[] = "QUILLMOOR_TEST_DRIVE";
[[noreturn]] void driveApplication(int argc, char **argv);
