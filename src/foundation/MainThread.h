#pragma once

#include <functional>

// Calls work on the application's main thread and returns once it has run.
// On the main thread itself, or when no application object exists (headless
// tools), the work runs directly on the calling thread.
void runOnMainThreadAndWait(const std::function<void()> &work);

// Queues work for the main thread and returns at once.
void runOnMainThread(std::function<void()> work);

bool isMainThread();
