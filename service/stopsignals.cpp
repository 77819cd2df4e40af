#include "service/stopsignals.h"

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

// The write end for the handler, the read end for the notifier; -1 while no
// instance is installed.
int pair[2] = {-1, -1};

void onSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full buffer means a stop is already pending: nothing is lost.
    [[maybe_unused]] const ssize_t written = ::write(pair[0], &byte, 1);
    errno = saved;
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (pair[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0) {
        pair[0] = pair[1] = -1;
        qWarning("Cannot catch SIGTERM and SIGINT: %s", std::strerror(errno));
        return;
    }
    notifier = new QSocketNotifier(pair[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StopSignals::readSignal);
    setHandler(onSignal);
}

StopSignals::~StopSignals()
{
    if (!notifier)
        return;
    setHandler(SIG_DFL);
    delete notifier;
    notifier = nullptr;
    ::close(pair[0]);
    ::close(pair[1]);
    pair[0] = pair[1] = -1;
}

void StopSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(pair[1], &byte, 1) == 1)
        emit stopRequested(byte);
}
