#include "ParserProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
// glibc 2.36 declares these without C linkage.
extern "C" {
#include <sys/pidfd.h>
}
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace ParserProtocol;

namespace {

using Clock = std::chrono::steady_clock;

// Where the parser finds its end of the socket.
constexpr int ParserSocket = 3;

// Owns one file descriptor.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept
    {
        reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The parser's environment: ours, and glibc's allocator asked to back the
// heap with transparent huge pages where the system offers them. A fresh
// process faults in every page it uses; for a large drawing that costs
// more than starting the process, and huge pages take nearly all of it.
std::vector<QByteArray> parserEnvironment()
{
    const QByteArray hugePages = "glibc.malloc.hugetlb=1";
    std::vector<QByteArray> environment;
    bool tuned = false;
    for (const QString &entry : QProcessEnvironment::systemEnvironment().toStringList()) {
        QByteArray variable = entry.toLocal8Bit();
        if (variable.startsWith("GLIBC_TUNABLES=")) {
            tuned = true;
            if (!variable.contains("glibc.malloc.hugetlb="))
                variable += ':' + hugePages;
        }
        environment.push_back(std::move(variable));
    }
    if (!tuned)
        environment.push_back("GLIBC_TUNABLES=" + hugePages);
    return environment;
}

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return int(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 60 * 60 * 1000));
}

} // namespace

struct ParserProcess::Child
{
    pid_t pid = -1;
    FileDescriptor pidfd;
    FileDescriptor socket;

    // Whether the process has ended (it may be waiting to be reaped).
    bool hasEnded() const
    {
        pollfd ended = {pidfd.get(), POLLIN, 0};
        return ::poll(&ended, 1, 0) != 0;
    }
};

// A parser started ahead of need, confined and waiting for its request, so
// that a conversion does not wait for a process to start. Only programs
// that convert one drawing after another keep one (keepSpare()); there is
// at most one, started when a parse has ended, so that while a drawing is
// parsed its parser is the only one (unless another parse ended
// meanwhile). It ends by itself with the program, whose end of its socket
// then closes.
class ParserProcess::Spare
{
public:
    static Spare &instance()
    {
        static Spare *const spare = new Spare;
        return *spare;
    }

    void keep(bool kept)
    {
        std::optional<Child> ended;
        {
            std::lock_guard lock(m_mutex);
            m_kept = kept;
            if (!kept)
                ended.swap(m_child);
        }
        if (ended) {
            ::pidfd_send_signal(ended->pidfd.get(), SIGKILL, nullptr, 0);
            ::waitpid(ended->pid, nullptr, 0);
        }
    }

    // The spare, when one started under these limits is still there.
    std::optional<Child> take(const ParserLimits &limits)
    {
        std::optional<Child> taken;
        {
            std::lock_guard lock(m_mutex);
            if (!m_child || !sameLimits(limits))
                return std::nullopt;
            taken.swap(m_child);
        }
        if (!taken->hasEnded())
            return taken;
        ::waitpid(taken->pid, nullptr, 0);
        return std::nullopt;
    }

    // Starts one if spares are kept and there is none.
    void replenish()
    {
        std::lock_guard lock(m_mutex);
        if (!m_kept || m_child)
            return;
        Child child;
        QString why;
        if (spawn(m_limits, child, &why))
            m_child = std::move(child);
    }

private:
    bool sameLimits(const ParserLimits &limits) const
    {
        return limits.time == m_limits.time && limits.memoryBytes == m_limits.memoryBytes;
    }

    std::mutex m_mutex;
    bool m_kept = false;
    // Spares serve conversions under the default limits.
    const ParserLimits m_limits{};
    std::optional<Child> m_child;
};

ParserProcess::ParserProcess(ParserLimits limits)
    : m_limits(limits)
{}

ParserProcess::~ParserProcess() = default;

ParseResult ParserProcess::parse(const QString &path, Format format,
                                 const ParserStream::ImageWriter &writeImage)
{
    Child child;
    QString why;
    if (!start(child, &why))
        return {isCancelled() ? ParseResult::Status::Cancelled : ParseResult::Status::NotStarted,
                {},
                why};
    ParseResult result = run(child, path, format, writeImage);
    Spare::instance().replenish();
    return result;
}

void ParserProcess::keepSpare(bool keep)
{
    Spare::instance().keep(keep);
    Spare::instance().replenish();
}

bool ParserProcess::start(Child &child, QString *why)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled) {
            *why = QStringLiteral("The conversion was cancelled.");
            return false;
        }
    }
    if (std::optional<Child> spare = Spare::instance().take(m_limits))
        child = std::move(*spare);
    else if (!spawn(m_limits, child, why))
        return false;
    std::lock_guard lock(m_mutex);
    m_pidfd = child.pidfd.get();
    // Cancelled while it started: it goes at once.
    if (m_cancelled)
        ::pidfd_send_signal(m_pidfd, SIGKILL, nullptr, 0);
    return true;
}

bool ParserProcess::spawn(const ParserLimits &limits, Child &child, QString *why)
{
    const QByteArray program = QFile::encodeName(executablePath());
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        *why = QStringLiteral("The parser could not be started: %1").arg(errorText(errno));
        return false;
    }
    FileDescriptor ours(sockets[0]);
    // Kept clear of the numbers the parser's descriptors are moved to.
    FileDescriptor theirs(::fcntl(sockets[1], F_DUPFD_CLOEXEC, ParserSocket + 1));
    ::close(sockets[1]);
    if (!theirs) {
        *why = QStringLiteral("The parser could not be started: %1").arg(errorText(errno));
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Anything libcdr prints goes where our own diagnostics go.
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), ParserSocket);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signalSet;
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&attributes, &signalSet);
    sigfillset(&signalSet);
    posix_spawnattr_setsigdefault(&attributes, &signalSet);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const auto seconds = std::chrono::ceil<std::chrono::seconds>(limits.time).count();
    const QByteArray memory = QByteArray::number(quint64(limits.memoryBytes));
    const QByteArray time = QByteArray::number(qint64(seconds));
    const char *arguments[] = {program.constData(), "--memory-limit", memory.constData(),
                               "--time-limit",      time.constData(), nullptr};
    const std::vector<QByteArray> environment = parserEnvironment();
    std::vector<char *> variables;
    for (const QByteArray &variable : environment)
        variables.push_back(const_cast<char *>(variable.constData()));
    variables.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.constData(), &actions, &attributes,
                                      const_cast<char *const *>(arguments), variables.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    theirs.reset();
    if (spawned != 0) {
        *why = QStringLiteral("The parser %1 could not be started: %2")
                   .arg(QFile::decodeName(program), errorText(spawned));
        return false;
    }
    FileDescriptor pidfd(::pidfd_open(pid, 0));
    if (!pidfd) {
        const int error = errno;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        *why = QStringLiteral("The parser could not be watched: %1").arg(errorText(error));
        return false;
    }
    ::fcntl(ours.get(), F_SETFL, ::fcntl(ours.get(), F_GETFL) | O_NONBLOCK);
    child.pid = pid;
    child.pidfd = std::move(pidfd);
    child.socket = std::move(ours);
    return true;
}

ParseResult ParserProcess::run(Child &child, const QString &path, Format format,
                               const ParserStream::ImageWriter &writeImage)
{
    ParserStream stream(m_limits.memoryBytes, writeImage);
    QByteArray outgoing = frame(Frame::Request, char(format) + path.toUtf8());
    const Clock::time_point deadline = Clock::now() + m_limits.time;
    std::vector<char> buffer(256 * 1024);
    bool exited = false;
    bool timedOut = false;
    bool connected = true;

    // Reads what is there; false when the parser has closed its end.
    auto receive = [&] {
        for (;;) {
            const ssize_t got = ::recv(child.socket.get(), buffer.data(), buffer.size(), 0);
            if (got > 0) {
                if (!stream.feed(QByteArrayView(buffer.data(), got)))
                    return false;
                outgoing.append(stream.takeReplies());
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    };

    while (!exited && !stream.isBroken()) {
        const int wait = millisecondsUntil(deadline);
        if (wait == 0) {
            timedOut = true;
            break;
        }
        pollfd watched[2] = {
            {connected ? child.socket.get() : -1,
             short(POLLIN | (outgoing.isEmpty() ? 0 : POLLOUT)), 0},
            {child.pidfd.get(), POLLIN, 0},
        };
        if (::poll(watched, 2, wait) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (watched[0].revents & POLLOUT) {
            const ssize_t sent = ::send(child.socket.get(), outgoing.constData(),
                                        size_t(outgoing.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0)
                outgoing.remove(0, sent);
            else if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                connected = false;
        }
        if (watched[0].revents & (POLLIN | POLLHUP | POLLERR))
            connected = receive() && connected;
        if (watched[1].revents & POLLIN)
            exited = true;
    }
    // What the parser wrote before it ended is still to be read.
    if (exited && connected && !stream.isBroken())
        receive();

    if (!exited)
        ::pidfd_send_signal(child.pidfd.get(), SIGKILL, nullptr, 0);
    int status = 0;
    while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    // From here on the process is gone; cancelling must not reach its id.
    {
        std::lock_guard lock(m_mutex);
        m_pidfd = -1;
    }
    child.pidfd.reset();

    using Status = ParseResult::Status;
    auto failed = [](Status status, const QString &detail) {
        return ParseResult{status, {}, detail};
    };
    if (isCancelled())
        return failed(Status::Cancelled, QStringLiteral("The conversion was cancelled."));
    if (timedOut)
        return failed(Status::TimedOut,
                      QStringLiteral("The parser took longer than %1 seconds.")
                          .arg(std::chrono::ceil<std::chrono::seconds>(m_limits.time).count()));
    if (stream.isBroken())
        return failed(Status::Crashed,
                      QStringLiteral("The parser sent data that is not a valid answer."));
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGXCPU)
            return failed(Status::TimedOut,
                          QStringLiteral("The parser used up its processor time."));
        return failed(Status::Crashed, QStringLiteral("The parser was stopped by signal %1 (%2).")
                                           .arg(signal)
                                           .arg(QString::fromLocal8Bit(::strsignal(signal))));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return failed(Status::Crashed,
                      QStringLiteral("The parser ended with status %1.").arg(WEXITSTATUS(status)));
    if (!stream.isComplete())
        return failed(Status::Crashed, QStringLiteral("The parser ended without a result."));

    switch (stream.outcome()) {
    case Outcome::Parsed:
        return {Status::Parsed, stream.takePages(), {}};
    case Outcome::NotSupported:
        return {Status::NotSupported, {}, stream.detail()};
    case Outcome::ParseFailed:
        return failed(Status::ParseFailed,
                      stream.detail().isEmpty()
                          ? QStringLiteral("libcdr could not parse the drawing.")
                          : stream.detail());
    case Outcome::OutOfMemory:
        return failed(Status::OutOfMemory,
                      QStringLiteral("The drawing needs more than the %1 MiB of memory the "
                                     "parser may use.")
                          .arg(m_limits.memoryBytes >> 20));
    }
    return failed(Status::Crashed, QStringLiteral("The parser ended without a result."));
}

void ParserProcess::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_pidfd >= 0)
        ::pidfd_send_signal(m_pidfd, SIGKILL, nullptr, 0);
}

bool ParserProcess::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

QString ParserProcess::executablePath()
{
    const QString configured = qEnvironmentVariable("QUILLMOOR_PARSER");
    if (!configured.isEmpty())
        return configured;
    // Installed: in the library-executables folder, found from the folder
    // of the running program.
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString installed = QDir::cleanPath(
        QFileInfo(self).dir().filePath(QStringLiteral(QUILLMOOR_PARSER_FROM_BINDIR)));
    if (QFileInfo(installed).isExecutable())
        return installed;
    return QStringLiteral(QUILLMOOR_PARSER_BUILD_PATH);
}
