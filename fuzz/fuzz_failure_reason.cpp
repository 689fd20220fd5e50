// The bytes are a file that failed to convert: the application itself (not
// the parser) looks at it again to name the cause, reading its first bytes
// and, for a zip archive, librevenge's view of its members. That must hold
// for any file, since it runs in the application's own process.

#include "conversion/ConversionFailure.h"

#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

QString failedFile;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    failedFile = QStringLiteral("/dev/shm/quillmoor-fuzz-reason-%1.cdr").arg(::getpid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QFile file(failedFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    using Stage = ConversionFailure::Stage;
    for (Stage stage : {Stage::Rejected, Stage::ParseFailed}) {
        if (ConversionFailure::reason(failedFile, stage).isEmpty())
            std::abort();
    }
    return 0;
}
