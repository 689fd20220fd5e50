#pragma once

#include <functional>

class OperationQueue;

// How many drawings convert at the same time.
constexpr int ConcurrentConversions = 2;

// The process-wide queue on which drawings are converted, at most
// ConcurrentConversions at a time, started in the order they were queued.
// It is never destroyed: the process must be able to end while a
// conversion still winds down.
OperationQueue &conversionQueue();

// Runs work on the main thread for a conversion and waits for it, unless
// conversions have been stopped; false when the work did not run (also when
// the application went away before it could run it).
bool runForConversionOnMainThread(const std::function<void()> &work);

// Ends conversions for the rest of the process, on the main thread, at exit
// and after the documents have gone: conversions that have not started
// never will; those that run have their parsers killed, call the main
// thread no more and write no more image files, and every image file
// written so far is removed.
void stopConversions();

// Ends the process from main() with the status. While a conversion still
// runs, the process ends at once instead of destroying its globals, which
// the conversion may still be using; stopConversions() has made sure it
// leaves nothing behind.
[[noreturn]] void exitAfterConversions(int status);
