#include "ParserService.h"

#include "CDRStringVector.h"
#include "GenerateSVG.h"
#include "TMPManager.h"

#include <librevenge-stream/librevenge-stream.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <new>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define QUILLMOOR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLMOOR_ADDRESS_SANITIZER 1
#endif
#endif

using namespace ParserProtocol;

namespace ParserService {

namespace {

QString errorText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A seccomp filter that fails every call creating a socket, io_uring's
// included (it can open sockets of its own). The process keeps the one it
// was given. Unlike a network namespace this needs no privilege and no
// user namespaces, which some systems and sandboxes switch off.
bool denySockets()
{
#if defined(__x86_64__)
    constexpr std::uint32_t architecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
    constexpr std::uint32_t architecture = AUDIT_ARCH_AARCH64;
#else
#error "no seccomp filter for this architecture"
#endif
    const std::uint32_t denied[] = {__NR_socket, __NR_socketpair, __NR_io_uring_setup};
    constexpr auto deniedCount = std::uint8_t(std::size(denied));
    std::vector<sock_filter> program = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, architecture, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
#if defined(__x86_64__)
        // x32 calls come with the same architecture; none is needed.
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, __X32_SYSCALL_BIT, deniedCount + 1, 0),
#endif
    };
    for (std::uint8_t i = 0; i < deniedCount; ++i)
        program.push_back(
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, denied[i], std::uint8_t(deniedCount - i), 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EACCES & SECCOMP_RET_DATA)));

    const sock_fprog filter = {static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

// Ends the process as soon as the application's end of the socket closes:
// when the application has gone, however it went, or has let go of this
// parse. A thread of its own watches, so that it works while libcdr is
// busy and whichever thread of the application started the process.
void endWithTheApplication()
{
    std::thread([] {
        pollfd socket = {SocketDescriptor, POLLRDHUP, 0};
        while (::poll(&socket, 1, -1) < 0 && errno == EINTR) {
        }
        std::_Exit(1);
    }).detach();
}

bool setLimit(int resource, rlim_t value)
{
    const rlimit limit = {value, value};
    return ::setrlimit(resource, &limit) == 0;
}

std::optional<std::uint64_t> number(const char *text)
{
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0')
        return std::nullopt;
    return value;
}

// Whether an allocation failed since the parse began. libcdr catches what
// it throws, std::bad_alloc included, and reports only a failed parse; the
// parser must tell the application that memory ran out.
std::atomic<bool> memoryRanOut = false;

void noteMemoryRanOut()
{
    memoryRanOut = true;
    throw std::bad_alloc();
}

} // namespace

bool SocketChannel::send(Frame kind, QByteArrayView payload)
{
    if (payload.size() > qsizetype(UINT32_MAX))
        return false;
    const QByteArray head = header(kind, std::uint32_t(payload.size()));
    for (QByteArrayView piece : {QByteArrayView(head), payload}) {
        while (!piece.isEmpty()) {
            const ssize_t written = ::write(m_socket, piece.data(), size_t(piece.size()));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            piece = piece.sliced(written);
        }
    }
    return true;
}

std::optional<QByteArray> SocketChannel::receive(Frame kind)
{
    char head[HeaderSize];
    if (!readExactly(head, HeaderSize))
        return std::nullopt;
    const std::optional<Header> header = readHeader(QByteArrayView(head, HeaderSize));
    if (!header || header->kind != kind || header->length > MaxTextLength)
        return std::nullopt;
    QByteArray payload(qsizetype(header->length), Qt::Uninitialized);
    if (!readExactly(payload.data(), payload.size()))
        return std::nullopt;
    return payload;
}

bool SocketChannel::readExactly(char *into, qsizetype size)
{
    while (size > 0) {
        const ssize_t got = ::read(m_socket, into, size_t(size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        size -= got;
    }
    return true;
}

bool confine(const ParserLimits &limits, QString *why)
{
    if (::close_range(SocketDescriptor + 1, ~0U, 0) != 0) {
        *why = QStringLiteral("cannot close inherited descriptors: %1").arg(errorText());
        return false;
    }
    const auto seconds = rlim_t(std::chrono::ceil<std::chrono::seconds>(limits.time).count());
    // The application ends the parse at its time limit; the processor
    // limit is there should the application be stopped meanwhile.
    const rlimit processorTime = {seconds + 5, seconds + 10};
    if (!setLimit(RLIMIT_CORE, 0) || ::setrlimit(RLIMIT_CPU, &processorTime) != 0) {
        *why = QStringLiteral("cannot set limits: %1").arg(errorText());
        return false;
    }
#ifndef QUILLMOOR_ADDRESS_SANITIZER
    // AddressSanitizer reserves terabytes of address space for itself; its
    // builds limit the resident size instead (hard_rss_limit_mb).
    if (!setLimit(RLIMIT_AS, rlim_t(limits.memoryBytes))) {
        *why = QStringLiteral("cannot limit memory: %1").arg(errorText());
        return false;
    }
#endif
    if (!denySockets()) {
        *why = QStringLiteral("cannot deny sockets: %1").arg(errorText());
        return false;
    }
    return true;
}

int serve(Channel &channel)
{
    const std::optional<QByteArray> request = channel.receive(Frame::Request);
    if (!request || request->isEmpty())
        return 1;
    const std::optional<Format> format = formatFrom(request->at(0));
    if (!format)
        return 1;
    return answer(channel, *format, request->sliced(1));
}

int answer(Channel &channel, Format format, const QByteArray &path)
{
    // Drawn images are written by the application, which answers with the
    // URL the page refers to. Without an answer the application has gone
    // or ended the parse, and there is nobody left to parse for.
    TMPManager::instance().redirect([&channel](const unsigned char *bytes,
                                               std::size_t size) -> std::string {
        if (!channel.send(Frame::Image,
                          QByteArrayView(reinterpret_cast<const char *>(bytes), qsizetype(size))))
            std::_Exit(1);
        const std::optional<QByteArray> url = channel.receive(Frame::ImageSaved);
        if (!url)
            std::_Exit(1);
        return url->toStdString();
    });
    // The sink refers to the channel, which ends with this call.
    struct Restore
    {
        ~Restore() { TMPManager::instance().redirect({}); }
    } restore;

    memoryRanOut = false;
    const std::new_handler previousHandler = std::set_new_handler(noteMemoryRanOut);
    Outcome outcome = Outcome::ParseFailed;
    CDRStringVector pages;
    try {
        librevenge::RVNGFileStream input(path.constData());
        if (!isSupported(input, format))
            outcome = Outcome::NotSupported;
        else if (generateSVG(input, pages, format))
            outcome = Outcome::Parsed;
    } catch (const std::bad_alloc &) {
        outcome = Outcome::OutOfMemory;
    }
    std::set_new_handler(previousHandler);
    if (outcome == Outcome::ParseFailed && memoryRanOut)
        outcome = Outcome::OutOfMemory;
    return sendOutcome(channel, outcome, pages);
}

int sendOutcome(Channel &channel, Outcome outcome, const CDRStringVector &pages)
{
    // A failed parse hands over nothing, as inside the application.
    if (outcome == Outcome::Parsed) {
        for (unsigned i = 0; i < pages.size(); ++i) {
            const std::string &page = pages[i].str();
            if (!channel.send(Frame::Page, QByteArrayView(page.data(), qsizetype(page.size()))))
                return 1;
        }
    }
    const char result[] = {char(outcome)};
    return channel.send(Frame::Result, QByteArrayView(result, 1)) ? 0 : 1;
}

int main(int argc, char *argv[], const std::function<int(Channel &)> &serve)
{
    ParserLimits limits;
    bool valid = argc % 2 == 1;
    for (int i = 1; valid && i + 1 < argc; i += 2) {
        const std::optional<std::uint64_t> value = number(argv[i + 1]);
        if (value && std::strcmp(argv[i], "--memory-limit") == 0)
            limits.memoryBytes = *value;
        else if (value && std::strcmp(argv[i], "--time-limit") == 0)
            limits.time = std::chrono::seconds(*value);
        else
            valid = false;
    }
    if (!valid) {
        std::fprintf(stderr,
                     "usage: %s [--memory-limit BYTES] [--time-limit SECONDS]\n"
                     "Parses a drawing for Quillmoor on descriptor %d; not to be run by hand.\n",
                     argv[0], SocketDescriptor);
        return 2;
    }
    QString why;
    if (!confine(limits, &why)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], qPrintable(why));
        return 1;
    }
    endWithTheApplication();
    SocketChannel channel(SocketDescriptor);
    return serve(channel);
}

} // namespace ParserService
