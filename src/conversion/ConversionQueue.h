#pragma once

class OperationQueue;

// The process-wide queue on which drawings are converted, one at a time, in
// the order they were queued.
OperationQueue &conversionQueue();
