#pragma once

#include <functional>

class OperationQueue;

// The process-wide queue on which drawings are converted, one at a time, in
// the order they were queued. It is never destroyed: a conversion cannot be
// interrupted, and the process must be able to end while one still runs.
OperationQueue &conversionQueue();

// Runs work on the main thread for a conversion and waits for it, unless
// conversions have been stopped; false when the work did not run (also when
// the application went away before it could run it).
bool runForConversionOnMainThread(const std::function<void()> &work);

// Ends conversions for the rest of the process, on the main thread, at exit
// and after the documents have gone: conversions that have not started
// never will; the one that is running (it cannot be interrupted) calls the
// main thread no more and writes no more image files, and every image file
// written so far is removed.
void stopConversions();

// Ends the process from main() with the status. While a conversion still
// runs, the process ends at once instead of destroying its globals, which
// the conversion may still be using; stopConversions() has made sure it
// leaves nothing behind.
[[noreturn]] void exitAfterConversions(int status);
