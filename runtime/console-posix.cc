// The console on POSIX: the standard descriptors, the terminal test, /bin/sh as the command
// interpreter, and process exit.
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/console.h"

namespace {

class PosixConsole : public Console {
public:
    long read(int fd, char* buffer, long count) override {
        for (;;) {
            ssize_t n = ::read(fd, buffer, static_cast<size_t>(count));
            if (n < 0 && errno == EINTR) continue;
            return static_cast<long>(n);
        }
    }

    long write(int fd, const char* bytes, long count) override {
        for (;;) {
            ssize_t n = ::write(fd, bytes, static_cast<size_t>(count));
            if (n < 0 && errno == EINTR) continue;
            return static_cast<long>(n);
        }
    }

    int openWriteFile(const char* path) override {
        int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd >= 0 && fd <= STANDARD_ERROR) {
            // A standard descriptor was closed: the file must not take its place.
            const int above = ::fcntl(fd, F_DUPFD_CLOEXEC, STANDARD_ERROR + 1);
            ::close(fd);
            fd = above;
        }
        return fd < 0 ? -1 : fd;
    }

    bool isTerminal(int fd) override { return ::isatty(fd) == 1; }

    void runCommand(const char* commandLine) override {
        pid_t child = ::fork();
        if (child < 0) return;  // a command that cannot be started is not reported
        if (child == 0) {
            // The command gets the default handling of a closed pipe and of a file-size
            // limit back.
            ::signal(SIGPIPE, SIG_DFL);
            ::signal(SIGXFSZ, SIG_DFL);
            ::execl("/bin/sh", "sh", "-c", commandLine, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }

    [[noreturn]] void exitProcess(int status) override { ::_exit(status); }
};

PosixConsole posixConsole;

}  // namespace

Console& systemConsole() { return posixConsole; }

void preparePlatform() {
    // A write to a closed pipe, or beyond the file-size limit, comes back as a failed write
    // (EPIPE, EFBIG) and is reported as an output fault.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}
