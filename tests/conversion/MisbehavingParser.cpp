// A parser for tests: the real program, confined as the real one is, which
// misbehaves as QUILLMOOR_PARSER_TEST_MODE says once it has its request;
// when QUILLMOOR_PARSER_TEST_FILE is set, only for drawings whose path
// holds that text. Never installed; the variables mean nothing to the
// real parser.

#include "conversion/ParserService.h"

#include <QByteArray>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char *__asan_default_options()
{
    return "hard_rss_limit_mb=2048:handle_segv=0";
}
#endif

using namespace ParserProtocol;
using ParserService::Channel;

namespace {

[[noreturn]] void hang()
{
    for (;;)
        ::pause();
}

// What the parser may do, in one line: its descriptors, whether it can
// make sockets, and its limits.
QByteArray confinement()
{
    QStringList facts;
    QStringList descriptors;
    for (int fd = 0; fd < 1024; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            descriptors << QString::number(fd);
    }
    facts << QStringLiteral("descriptors=%1").arg(descriptors.join(','));
    const std::pair<const char *, int> families[] = {
        {"inet", AF_INET}, {"inet6", AF_INET6}, {"unix", AF_UNIX}, {"netlink", AF_NETLINK}};
    for (const auto &[name, family] : families) {
        const int made = ::socket(family, SOCK_STREAM, 0);
        facts << QStringLiteral("%1=%2").arg(QLatin1String(name),
                                             made < 0 ? QString::fromLatin1(strerrorname_np(errno))
                                                      : QStringLiteral("made"));
    }
    int pair[2];
    facts << QStringLiteral("socketpair=%1")
                 .arg(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) < 0
                          ? QString::fromLatin1(strerrorname_np(errno))
                          : QStringLiteral("made"));
    rlimit limit;
    ::getrlimit(RLIMIT_CORE, &limit);
    facts << QStringLiteral("core=%1").arg(limit.rlim_max);
    return facts.join(' ').toUtf8();
}

// Passes the conversation on, and crashes once the first image is written.
class CrashAfterFirstImage : public Channel
{
public:
    explicit CrashAfterFirstImage(Channel &channel)
        : m_channel(channel)
    {}
    bool send(Frame kind, QByteArrayView payload) override { return m_channel.send(kind, payload); }
    std::optional<QByteArray> receive(Frame kind) override
    {
        std::optional<QByteArray> received = m_channel.receive(kind);
        if (kind == Frame::ImageSaved)
            ::raise(SIGSEGV);
        return received;
    }

private:
    Channel &m_channel;
};

int misbehave(Channel &channel)
{
    const std::optional<QByteArray> request = channel.receive(Frame::Request);
    if (!request || request->isEmpty())
        return 1;
    const Format format = Format(request->at(0));
    const QByteArray path = request->sliced(1);
    const QByteArray mode = qgetenv("QUILLMOOR_PARSER_TEST_MODE");
    if (mode.isEmpty() || !path.contains(qgetenv("QUILLMOOR_PARSER_TEST_FILE")))
        return ParserService::answer(channel, format, path);
    if (mode == "crash-after-result") {
        const int status = ParserService::answer(channel, format, path);
        ::raise(SIGSEGV);
        return status;
    }
    if (mode == "crash-after-image") {
        CrashAfterFirstImage crashing(channel);
        return ParserService::answer(crashing, format, path);
    }
    if (mode == "crash") {
        ::raise(SIGSEGV);
    } else if (mode == "hang") {
        hang();
    } else if (mode == "allocate") {
        std::vector<std::unique_ptr<char[]>> blocks;
        for (;;) {
            constexpr std::size_t size = 16 << 20;
            blocks.emplace_back(new char[size]);
            std::memset(blocks.back().get(), 1, size);
        }
    } else if (mode == "lie") {
        // A page that claims four gigabytes and never comes.
        const QByteArray start = header(Frame::Page, 0xffffffffu) + "<svg:svg";
        ::write(ParserService::SocketDescriptor, start.constData(), size_t(start.size()));
        hang();
    } else if (mode == "garbage") {
        ::write(ParserService::SocketDescriptor, "garbage", 7);
        hang();
    } else if (mode == "report") {
        const char outcome[] = {char(Outcome::ParseFailed)};
        channel.send(Frame::Result, QByteArray(outcome, 1) + confinement());
        return 0;
    }
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    return ParserService::main(argc, argv, misbehave);
}
