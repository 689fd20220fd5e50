#include "ConversionQueue.h"

#include "foundation/OperationQueue.h"

OperationQueue &conversionQueue()
{
    // One conversion at a time for the whole process: libcdr and the image
    // store are used from a single thread, in the order drawings were opened.
    static OperationQueue queue(QStringLiteral("conversion"), 1);
    return queue;
}
