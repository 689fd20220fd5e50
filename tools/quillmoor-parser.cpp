// quillmoor-parser [--memory-limit BYTES] [--time-limit SECONDS]
// The process in which libcdr reads one drawing for a Quillmoor program,
// which starts it with the conversation's socket as descriptor 3.

#include "conversion/ParserService.h"

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds cannot limit the address space; they limit what is
// resident, to the default limit of the parser. A crash stays a crash, as
// in other builds, instead of becoming a sanitizer report.
extern "C" const char *__asan_default_options()
{
    return "hard_rss_limit_mb=2048:handle_segv=0";
}
#endif

int main(int argc, char *argv[])
{
    return ParserService::main(argc, argv);
}
