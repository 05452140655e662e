#include "app/termination.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vq {

namespace {

int g_pipe[2] = {-1, -1};
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (g_pipe[0] >= 0) (void)!::write(g_pipe[0], &byte, 1);
    errno = saved;
}

} // namespace

TerminationNotifier::TerminationNotifier(QObject* parent) : QObject(parent) {
    if (g_pipe[0] >= 0) return; // one notifier per process
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    ::fcntl(g_pipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationNotifier::OnReadable);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

TerminationNotifier::~TerminationNotifier() {
    if (!notifier_) return;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete notifier_;
    notifier_ = nullptr;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationNotifier::OnReadable() {
    unsigned char byte = 0;
    int number = 0;
    while (::read(g_pipe[1], &byte, 1) == 1)
        number = byte;
    if (number == 0) return;
    lastSignal_ = number;
    emit terminationRequested(number);
}

} // namespace vq
