#include "Session.h"

#include "Options.h"
#include "Progress.h"

#include <atomic>
#include <csignal>
#include <ostream>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace varkel::tools {
namespace {

// The first signal that arrived, 0 while none has.
std::atomic<int> gInterruptSignal{0};

void say(const char* text) {
    for (size_t done = 0, size = std::char_traits<char>::length(text); done < size;) {
        const ssize_t n = ::write(STDERR_FILENO, text + done, size - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

void waitForSignals(sigset_t signals) {
    for (int count = 0;; ++count) {
        int signal = 0;
        if (::sigwait(&signals, &signal) != 0) continue;
        if (count == 0) {
            gInterruptSignal = signal;
            say("\nvrk: interrupted: stopping after the current file (interrupt again to quit at once, "
                "which leaves key files in the current folder)\n");
        } else {
            say("\nvrk: stopped; run 'vrk shutdown' here to destroy the key files left behind\n");
            ::_exit(interruptedStatus());
        }
    }
}

}  // namespace

void watchInterrupts() {
    static bool watching = false;
    if (watching) return;
    watching = true;
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(waitForSignals, signals).detach();
}

bool interrupted() { return gInterruptSignal != 0; }

int interruptedStatus() { return 128 + (interrupted() ? gInterruptSignal.load() : SIGINT); }

bool destroyKeys(_SDK& sdk, std::ostream& err) {
    std::string unused;
    const int32_t status = sdk.VrkShutDown(unused);
    if (status == 0) return true;
    report(err, "key files", status);
    return false;
}

int runWithKeys(const std::string& key, KeyMode mode, bool keepKeys, std::ostream& err,
                const std::function<bool(_SDK&)>& work) {
    watchInterrupts();
    SdkObject sdk;
    const auto setUpAndWork = [&] {
        std::string keyText = key;
        const int32_t status = mode == KeyMode::Binary ? sdk->VrkGenBinaryKeys(keyText) : sdk->VrkGenTextKeys(keyText);
        if (status != 0) {
            report(err, "key set-up", status);
            return false;
        }
        if (interrupted()) {
            err << "vrk: interrupted before any file was touched\n";
            return false;
        }
        return work(*sdk);
    };
    bool ok = false;
    try {
        ok = setUpAndWork();
    } catch (...) {
        // The key files go also when the work ends in an exception.
        if (!keepKeys) destroyKeys(*sdk, err);
        throw;
    }
    if (!keepKeys && !destroyKeys(*sdk, err)) ok = false;
    return ok ? 0 : 1;
}

int runWithoutKeys(const std::function<bool(_SDK&)>& work) {
    watchInterrupts();
    SdkObject sdk;
    return work(*sdk) ? 0 : 1;
}

bool forEachFile(size_t count, bool quiet, std::ostream& err, const std::function<const NamedFile&(size_t)>& file,
                 const std::function<int32_t(size_t)>& call, const std::function<bool(size_t, int32_t)>& after) {
    Progress progress(count, quiet);
    bool all = true;
    for (size_t i = 0; i < count; ++i) {
        if (interrupted()) {
            err << "vrk: interrupted; " << count - i << " file(s) left as they were\n";
            return false;
        }
        const NamedFile& named = file(i);
        progress.begin(i + 1, named.shown, sizeOf(named.host));
        const int32_t status = call(i);
        progress.end();
        if (!after(i, status)) all = false;
    }
    return all;
}

int32_t withProgress(const NamedFile& file, bool quiet, const std::function<int32_t()>& call) {
    Progress progress(1, quiet);
    progress.begin(1, file.shown, sizeOf(file.host));
    const int32_t status = call();
    progress.end();
    return status;
}

}  // namespace varkel::tools
