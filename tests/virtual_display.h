// A virtual X server of the caller's own, for the window tests and the
// window benchmark: Xvfb picks a display no one uses (-displayfd).
#ifndef CHARTLINK_TESTS_VIRTUAL_DISPLAY_H
#define CHARTLINK_TESTS_VIRTUAL_DISPLAY_H

#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test {

// How long a start, or any wait on a window, may take before it counts as hung.
constexpr int display_guard_ms = 20000;

// An Xvfb on a display no one uses, which it picks itself (-displayfd).
class VirtualDisplay {
public:
    VirtualDisplay() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            fcntl(fds[1], F_SETFD, 0); // Xvfb's alone
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        char number[16] = {};
        if (poll(&ready, 1, display_guard_ms) == 1)
            (void)!read(fds[0], number, sizeof number - 1);
        reader_ = fds[0]; // open while Xvfb lives: it may write the newline later
        if (number[0] == '\0') {
            stop();
            throw std::runtime_error("Xvfb did not start");
        }
        name_ = ":" + std::string(number, std::strcspn(number, "\n"));
    }
    ~VirtualDisplay() { stop(); }
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;
    const std::string &name() const { return name_; }

private:
    void stop() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        close(reader_);
    }

    pid_t pid_ = -1;
    int reader_ = -1;
    std::string name_;
};

} // namespace test

#endif
