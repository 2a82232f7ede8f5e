#include "TerminationSignal.h"

#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <sys/socket.h>
#include <unistd.h>

namespace varkel::platform {
namespace {

int g_signalPair[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPair[0], &byte, 1);
}

}  // namespace

int terminationSignalDescriptor() {
    if (g_signalPair[1] >= 0) return g_signalPair[1];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPair) != 0) return -1;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
    return g_signalPair[1];
}

}  // namespace varkel::platform
