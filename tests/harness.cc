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

RunResult runWithPipes(const std::string& program, const std::string& input,
                       double timeoutSeconds) {
    return runWithPipes(std::vector<std::string>{program}, input, timeoutSeconds);
}

RunResult runWithPipes(const std::vector<std::string>& command, const std::string& input,
                       double timeoutSeconds, bool outputClosed) {
    if (command.empty()) return {};
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    int toChild[2], fromOut[2], fromErr[2];
    if (pipe(toChild) != 0 || pipe(fromOut) != 0 || pipe(fromErr) != 0) return {};
    if (outputClosed) {
        // No reader from the start: the program's first write to standard output fails.
        close(fromOut[0]);
        fromOut[0] = -1;
    }
    pid_t child = fork();
    if (child == 0) {
        dup2(toChild[0], 0);
        dup2(fromOut[1], 1);
        dup2(fromErr[1], 2);
        for (int fd : {toChild[0], toChild[1], fromOut[0], fromOut[1], fromErr[0], fromErr[1]})
            if (fd >= 0) close(fd);
        execvp(argv[0], argv.data());
        _exit(126);
    }
    close(toChild[0]);
    close(fromOut[1]);
    close(fromErr[1]);
    signal(SIGPIPE, SIG_IGN);
    fcntl(toChild[1], F_SETFL, O_NONBLOCK);

    RunResult result;
    std::size_t written = 0;
    int inFd = toChild[1];
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    int outFd = fromOut[0], errFd = fromErr[0];
    auto start = Clock::now();
    while (outFd >= 0 || errFd >= 0) {
        if (secondsSince(start) > timeoutSeconds) {
            result.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        pollfd fds[3];
        int count = 0;
        if (inFd >= 0) fds[count++] = {inFd, POLLOUT, 0};
        if (outFd >= 0) fds[count++] = {outFd, POLLIN, 0};
        if (errFd >= 0) fds[count++] = {errFd, POLLIN, 0};
        if (poll(fds, static_cast<nfds_t>(count), 100) < 0 && errno != EINTR) break;
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == inFd) {
                ssize_t n = write(inFd, input.data() + written, input.size() - written);
                if (n > 0) written += static_cast<std::size_t>(n);
                if (n < 0 && errno != EAGAIN) written = input.size();
                if (written == input.size()) {
                    close(inFd);
                    inFd = -1;
                }
            } else {
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
    }
    if (inFd >= 0) close(inFd);
    if (outFd >= 0) close(outFd);
    if (errFd >= 0) close(errFd);
    int status = 0;
    waitpid(child, &status, 0);
    result.status = decodeStatus(status);
    return result;
}

RunResult runWithPty(const std::string& program, const std::string& typed,
                     double timeoutSeconds) {
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
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
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
