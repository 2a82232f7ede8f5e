// A program run by the tests as a separate process, the way a shell runs it: its standard
// input fed by the test, its standard output and standard error caught apart.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>
#include <string>

namespace varkel::test {

struct Outcome {
    int status = -1;  // the exit status; 128 + the signal for a process that a signal ended
    std::string out;  // standard output
    std::string err;  // standard error
};

class ChildProcess {
public:
    // Runs `commandLine` through /bin/sh, which execs it, so that pid() is the program's own.
    explicit ChildProcess(const std::string& commandLine) {
        // A program that ends without reading its input must not end the test with it.
        ::signal(SIGPIPE, SIG_IGN);
        int in[2], out[2], err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ < 0) throw std::runtime_error("fork");
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            const std::string exec = "exec " + commandLine;
            ::execl("/bin/sh", "sh", "-c", exec.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        input_ = in[1];
        output_ = out[0];
        error_ = err[0];
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {input_, output_, error_})
            if (fd >= 0) ::close(fd);
    }

    pid_t pid() const { return pid_; }

    // Small inputs only: the program is not read from meanwhile.
    void write(const std::string& text) {
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(input_, text.data() + done, text.size() - done);
            if (n <= 0) return;  // the program has closed its input
            done += static_cast<size_t>(n);
        }
    }
    void closeInput() {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
    }

    // Reads both outputs to their end and waits for the program.
    Outcome finish() {
        closeInput();
        Outcome outcome;
        std::array<pollfd, 2> fds = {pollfd{output_, POLLIN, 0}, pollfd{error_, POLLIN, 0}};
        std::string* sinks[2] = {&outcome.out, &outcome.err};
        std::array<char, 4096> buffer;
        for (int open = 2; open > 0;) {
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                throw std::runtime_error("poll");
            }
            for (size_t i = 0; i < fds.size(); ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0) continue;
                const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
                if (n > 0) {
                    sinks[i]->append(buffer.data(), static_cast<size_t>(n));
                } else {
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return outcome;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int error_ = -1;
};

// Runs `commandLine` with `input` on its standard input and waits for it.
inline Outcome runProgram(const std::string& commandLine, const std::string& input = "") {
    ChildProcess child(commandLine);
    child.write(input);
    return child.finish();
}

#ifdef VRK_BINARY
// `vrk ARGS`, with ARGS quoted as for a shell.
inline Outcome runVrk(const std::string& args, const std::string& input = "") {
    return runProgram(std::string(VRK_BINARY) + " " + args, input);
}
#endif

}  // namespace varkel::test
