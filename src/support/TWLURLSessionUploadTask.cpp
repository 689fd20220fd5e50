#include "TWLURLSessionUploadTask.h"

std::shared_ptr<TWLURLSessionUploadTask> TWLURLSessionUploadTask::task()
{
    return std::shared_ptr<TWLURLSessionUploadTask>(new TWLURLSessionUploadTask);
}
