#include "core/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace {

int g_wakeFds[2] = {-1, -1};

// Only async-signal-safe work here: one byte into the socket the event loop watches.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_wakeFds[0], &byte, 1);
}

} // namespace

void EndOnTerminationSignals(std::function<void()> onRequest)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_wakeFds) != 0)
        return;
    auto *notifier =
        new QSocketNotifier(g_wakeFds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [onRequest = std::move(onRequest)] {
                         char bytes[16];
                         while (::read(g_wakeFds[1], bytes, sizeof bytes) > 0) {
                         }
                         onRequest();
                     });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
