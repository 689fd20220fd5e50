#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> CaughtSignals = {SIGTERM, SIGINT, SIGHUP};

// The handler may only write to a descriptor; the event loop reads the
// other end.
volatile std::sig_atomic_t g_writeFd = -1;

void onSignal(int signal)
{
    const unsigned char byte = static_cast<unsigned char>(signal);
    const int fd = g_writeFd;
    if (fd >= 0)
        static_cast<void>(::write(fd, &byte, 1));
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : CaughtSignals)
        sigaction(signal, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return;
    m_readFd = fds[0];
    g_writeFd = fds[1];
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    setHandler(onSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (m_readFd < 0)
        return;
    setHandler(SIG_DFL);
    const int writeFd = g_writeFd;
    g_writeFd = -1;
    ::close(writeFd);
    delete m_notifier;
    ::close(m_readFd);
}

void TerminationSignals::readSignal()
{
    unsigned char byte = 0;
    bool received = false;
    while (::read(m_readFd, &byte, 1) == 1)
        received = true;
    if (received)
        emit terminationRequested();
}
