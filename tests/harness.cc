// Child-process runner for whole-program tests: pipes or a pseudo-terminal.
#include "tests/harness.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int decodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

namespace {

// A child process with standard input on a pipe and standard error on a pipe; standard
// output on a pipe too, or, with `outputFile` >= 0, on that file under `fileSizeLimit`.
// With `outputClosed` the output pipe has no reader from the start, so the program's first
// write to standard output fails.
struct Child {
    pid_t pid = -1;
    int in = -1, out = -1, err = -1;
};

Child startChild(const std::vector<std::string>& command, int outputFile = -1,
                 long fileSizeLimit = 0, bool outputClosed = false) {
    if (command.empty()) return {};
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    int toChild[2], fromOut[2] = {-1, -1}, fromErr[2];
    if (pipe(toChild) != 0 || pipe(fromErr) != 0) return {};
    if (outputFile < 0 && pipe(fromOut) != 0) return {};
    if (outputClosed && fromOut[0] >= 0) {
        close(fromOut[0]);
        fromOut[0] = -1;
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], 0);
        dup2(outputFile >= 0 ? outputFile : fromOut[1], 1);
        dup2(fromErr[1], 2);
        for (int fd : {toChild[0], toChild[1], fromOut[0], fromOut[1], fromErr[0], fromErr[1]})
            if (fd >= 0) close(fd);
        if (outputFile >= 0) {
            close(outputFile);
            // The program must cope with the limit itself: the signal is not ignored here.
            signal(SIGXFSZ, SIG_DFL);
            rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execvp(argv[0], argv.data());
        _exit(126);
    }
    close(toChild[0]);
    close(fromErr[1]);
    if (fromOut[1] >= 0) close(fromOut[1]);
    signal(SIGPIPE, SIG_IGN);
    return {pid, toChild[1], fromOut[0], fromErr[0]};
}

// Serves the child's pipes until both output pipes are closed or the time is up. `feed`
// (standard input, the output so far, whether to wait for room in the pipe) is called on
// every round; it writes what it has to write and returns false to close standard input.
template <typename Feed>
RunResult serveChild(Child child, double timeoutSeconds, Feed feed) {
    RunResult result;
    fcntl(child.in, F_SETFL, O_NONBLOCK);
    int inFd = child.in, outFd = child.out, errFd = child.err;
    bool wantInput = true;
    auto start = Clock::now();
    while (outFd >= 0 || errFd >= 0) {
        if (secondsSince(start) > timeoutSeconds) {
            result.timedOut = true;
            kill(child.pid, SIGKILL);
            break;
        }
        if (inFd >= 0 && !feed(inFd, result.out, wantInput)) {
            close(inFd);
            inFd = -1;
        }
        pollfd fds[3];
        int count = 0;
        if (inFd >= 0 && wantInput) fds[count++] = {inFd, POLLOUT, 0};
        if (outFd >= 0) fds[count++] = {outFd, POLLIN, 0};
        if (errFd >= 0) fds[count++] = {errFd, POLLIN, 0};
        if (poll(fds, static_cast<nfds_t>(count), 20) < 0 && errno != EINTR) break;
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents == 0 || fds[i].fd == inFd) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            std::string& sink = fds[i].fd == outFd ? result.out : result.err;
            if (n > 0) {
                sink.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                (fds[i].fd == outFd ? outFd : errFd) = -1;
            }
        }
    }
    if (inFd >= 0) close(inFd);
    if (outFd >= 0) close(outFd);
    if (errFd >= 0) close(errFd);
    int status = 0;
    waitpid(child.pid, &status, 0);
    result.status = decodeStatus(status);
    return result;
}

// Feeds `input` whole, as fast as the pipe takes it, then closes standard input.
RunResult serveInput(Child child, const std::string& input, double timeoutSeconds) {
    std::size_t written = 0;
    return serveChild(
        child, timeoutSeconds,
        [&](int fd, const std::string&, bool& wantInput) {
            wantInput = true;
            if (written < input.size()) {
                ssize_t n = write(fd, input.data() + written, input.size() - written);
                if (n > 0) written += static_cast<std::size_t>(n);
                if (n < 0 && errno != EAGAIN) written = input.size();
            }
            return written < input.size();
        });
}

}  // namespace

RunResult runWithPipes(const std::vector<std::string>& command, const std::string& input,
                       double timeoutSeconds, bool outputClosed) {
    Child child = startChild(command, -1, 0, outputClosed);
    if (child.pid < 0) return {};
    return serveInput(child, input, timeoutSeconds);
}

RunResult runWithOutputFile(const std::vector<std::string>& command, const std::string& input,
                            long fileSizeLimit, double timeoutSeconds) {
    char path[] = "/tmp/lamvis_output_XXXXXX";
    int file = mkstemp(path);
    if (file < 0) return {};
    unlink(path);
    Child child = startChild(command, file, fileSizeLimit);
    RunResult result;
    if (child.pid >= 0) result = serveInput(child, input, timeoutSeconds);
    result.out.clear();
    lseek(file, 0, SEEK_SET);
    char buffer[4096];
    ssize_t n;
    while ((n = read(file, buffer, sizeof buffer)) > 0)
        result.out.append(buffer, static_cast<std::size_t>(n));
    close(file);
    return result;
}

RunResult runDialogue(const std::vector<std::string>& command,
                      const std::vector<DialogueStep>& steps, double timeoutSeconds) {
    Child child = startChild(command);
    if (child.pid < 0) return {};
    std::size_t step = 0, searchFrom = 0;
    std::string pending;  // what is still to be written of the current answer
    return serveChild(child, timeoutSeconds,
                      [&](int fd, const std::string& out, bool& wantInput) {
                          if (pending.empty() && step < steps.size()) {
                              const std::string& awaited = steps[step].awaited;
                              std::size_t found = out.find(awaited, searchFrom);
                              if (found != std::string::npos) {
                                  searchFrom = found + awaited.size();
                                  pending = steps[step++].answer;
                              }
                          }
                          if (!pending.empty()) {
                              ssize_t n = write(fd, pending.data(), pending.size());
                              if (n > 0) pending.erase(0, static_cast<std::size_t>(n));
                              if (n < 0 && errno != EAGAIN) return false;
                          }
                          wantInput = !pending.empty();
                          return step < steps.size() || !pending.empty();
                      });
}

RunResult runWithPty(const std::vector<std::string>& command, const std::string& typed,
                     double timeoutSeconds) {
    if (command.empty()) return {};
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    termios settings{};
    cfmakeraw(&settings);
    // Canonical line input without echo; output bytes pass through untranslated.
    settings.c_lflag = ICANON;
    settings.c_iflag = 0;
    settings.c_oflag = 0;
    settings.c_cflag = CS8 | CREAD;
    settings.c_cc[VEOF] = 4;
    settings.c_cc[VEOL] = 0;
    settings.c_cc[VERASE] = 0x7f;
    settings.c_cc[VKILL] = 0x15;
    int master = -1;
    pid_t child = forkpty(&master, nullptr, &settings, nullptr);
    if (child < 0) return {};
    if (child == 0) {
        execvp(argv[0], argv.data());
        _exit(126);
    }
    RunResult result;
    std::size_t written = 0;
    auto start = Clock::now();
    for (;;) {
        if (secondsSince(start) > timeoutSeconds) {
            result.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        if (written < typed.size()) {
            ssize_t n = write(master, typed.data() + written, typed.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
        }
        pollfd fd{master, POLLIN, 0};
        int ready = poll(&fd, 1, 50);
        if (ready > 0) {
            char buffer[4096];
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                result.out.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            break;  // EIO: the child has closed the terminal
        }
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            // Collect what is still buffered on the terminal.
            char buffer[4096];
            for (;;) {
                pollfd last{master, POLLIN, 0};
                if (poll(&last, 1, 50) <= 0) break;
                ssize_t n = read(master, buffer, sizeof buffer);
                if (n <= 0) break;
                result.out.append(buffer, static_cast<std::size_t>(n));
            }
            close(master);
            result.status = decodeStatus(status);
            return result;
        }
    }
    close(master);
    int status = 0;
    waitpid(child, &status, 0);
    result.status = decodeStatus(status);
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string programPath() { return LAMVIS2_BINARY; }

std::vector<std::string> programCommand() {
    std::vector<std::string> command;
    if (const char* emulator = std::getenv("LAMVIS2_EMULATOR")) {
        std::istringstream words(emulator);
        for (std::string word; words >> word;) command.push_back(word);
    }
    const char* program = std::getenv("LAMVIS2_PROGRAM");
    command.push_back(program != nullptr && *program != '\0' ? program : programPath());
    return command;
}

std::string driverPath(const std::string& name) { return std::string(DRIVER_DIR) + "/" + name; }

std::vector<std::string> driverCommand(const std::string& name) {
    const char* foreignDir = std::getenv("LAMVIS2_DRIVER_DIR");
    if (foreignDir == nullptr || *foreignDir == '\0') return {driverPath(name)};
    std::vector<std::string> command;
    if (const char* emulator = std::getenv("LAMVIS2_EMULATOR")) {
        std::istringstream words(emulator);
        for (std::string word; words >> word;) command.push_back(word);
    }
    std::string path = std::string(foreignDir) + "/" + name;
    if (access(path.c_str(), F_OK) != 0) path += ".exe";
    command.push_back(path);
    return command;
}

std::string testSourceDir() { return TEST_SOURCE_DIR; }
