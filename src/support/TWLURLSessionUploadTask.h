#pragma once

#include "TWLURLSessionDataTask.h"

// A data task whose body is read from a file while it is sent; the session
// puts the file on the request when it makes the task.
class TWLURLSessionUploadTask : public TWLURLSessionDataTask
{
public:
    static std::shared_ptr<TWLURLSessionUploadTask> task();

protected:
    TWLURLSessionUploadTask() = default;
};
