#include "kit/process.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kit {
namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    bool open() { return pipe2(fd, O_CLOEXEC) == 0; }
    void close(int i) {
        if (fd[i] >= 0) ::close(fd[i]);
        fd[i] = -1;
    }
    ~Pipe() { close(0); close(1); }
};

std::vector<char*> argv(const std::vector<std::string>& command) {
    std::vector<char*> args;
    for (const std::string& s : command) args.push_back(const_cast<char*>(s.c_str()));
    args.push_back(nullptr);
    return args;
}

// The kit's environment with `extra` in place of variables of the same names.
struct ChildEnvironment {
    std::vector<std::string> owned;
    std::vector<char*> pointers;
    explicit ChildEnvironment(const Environment& extra) : owned(extra) {
        for (char** e = environ; *e != nullptr; ++e) {
            std::string_view entry(*e);
            bool replaced = false;
            for (const std::string& x : extra) {
                std::size_t eq = x.find('=');
                replaced = replaced || entry.substr(0, entry.find('=')) == std::string_view(x).substr(0, eq);
            }
            if (!replaced) pointers.push_back(*e);
        }
        for (std::string& x : owned) pointers.push_back(x.data());
        pointers.push_back(nullptr);
    }
};

// Starts the command (searched on PATH) with the given descriptors as its standard input,
// output and error; 0, or the error number.
int spawn(const std::vector<std::string>& command, const Environment& environment, int in, int out, int err,
          pid_t& pid) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    auto args = argv(command);
    ChildEnvironment env(environment);
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.pointers.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

int waitStatus(pid_t pid) {
    int st = 0;
    while (waitpid(pid, &st, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFEXITED(st)) return WEXITSTATUS(st);
    if (WIFSIGNALED(st)) return 128 + WTERMSIG(st);
    return -1;
}

// Moves bytes until every descriptor is done: `input` into `in` (closed at its end), `out`
// and `err` into their strings. A program that stops reading early only ends the writing.
void pump(int in, std::string_view input, int out, std::string* outText, int err, std::string* errText) {
    std::size_t written = 0;
    if (in >= 0 && input.empty()) {
        ::close(in);
        in = -1;
    }
    char buf[65536];
    while (in >= 0 || out >= 0 || err >= 0) {
        pollfd fds[3];
        int n = 0;
        int inAt = -1, outAt = -1, errAt = -1;
        if (in >= 0) { fds[n] = {in, POLLOUT, 0}; inAt = n++; }
        if (out >= 0) { fds[n] = {out, POLLIN, 0}; outAt = n++; }
        if (err >= 0) { fds[n] = {err, POLLIN, 0}; errAt = n++; }
        if (poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (inAt >= 0 && fds[inAt].revents) {
            ssize_t w = write(in, input.data() + written, std::min<std::size_t>(input.size() - written, 65536));
            if (w > 0) written += static_cast<std::size_t>(w);
            if (w < 0 && errno != EINTR && errno != EAGAIN) written = input.size();
            if (written == input.size()) { ::close(in); in = -1; }
        }
        auto drain = [&](int& fd, int at, std::string* text) {
            if (at < 0 || !fds[at].revents) return;
            ssize_t r = read(fd, buf, sizeof buf);
            if (r > 0) text->append(buf, static_cast<std::size_t>(r));
            else if (r == 0 || (errno != EINTR && errno != EAGAIN)) { ::close(fd); fd = -1; }
        };
        drain(out, outAt, outText);
        drain(err, errAt, errText);
    }
}

// A write into a pipe that the program has closed must not end the kit.
void ignoreBrokenPipes() {
    static bool done = [] { signal(SIGPIPE, SIG_IGN); return true; }();
    (void)done;
}

}  // namespace

ProcessResult runCaptured(const std::vector<std::string>& command, std::string_view input,
                          const Environment& environment) {
    ignoreBrokenPipes();
    ProcessResult result;
    Pipe in, out, err;
    if (!in.open() || !out.open() || !err.open()) {
        result.error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return result;
    }
    pid_t pid = 0;
    int rc = spawn(command, environment, in.fd[0], out.fd[1], err.fd[1], pid);
    if (rc != 0) {
        result.error = "cannot start " + command[0] + ": " + std::strerror(rc);
        return result;
    }
    in.close(0);
    out.close(1);
    err.close(1);
    int inFd = in.fd[1], outFd = out.fd[0], errFd = err.fd[0];
    in.fd[1] = out.fd[0] = err.fd[0] = -1;  // pump closes them
    pump(inFd, input, outFd, &result.out, errFd, &result.err);
    result.status = waitStatus(pid);
    return result;
}

ProcessResult runWithFiles(const std::vector<std::string>& command, const std::string& inputPath,
                           const std::string& outputPath, const Environment& environment) {
    ProcessResult result;
    int inFd = open(inputPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (inFd < 0) {
        result.error = inputPath + ": " + std::strerror(errno);
        return result;
    }
    int outFd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (outFd < 0) {
        result.error = outputPath + ": " + std::strerror(errno);
        ::close(inFd);
        return result;
    }
    Pipe err;
    if (!err.open()) {
        result.error = std::string("cannot make a pipe: ") + std::strerror(errno);
        ::close(inFd);
        ::close(outFd);
        return result;
    }
    pid_t pid = 0;
    int rc = spawn(command, environment, inFd, outFd, err.fd[1], pid);
    ::close(inFd);
    ::close(outFd);
    if (rc != 0) {
        result.error = "cannot start " + command[0] + ": " + std::strerror(rc);
        return result;
    }
    err.close(1);
    int errFd = err.fd[0];
    err.fd[0] = -1;
    pump(-1, {}, -1, nullptr, errFd, &result.err);
    result.status = waitStatus(pid);
    return result;
}

std::string executableDirectory() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    std::string p(path, static_cast<std::size_t>(n));
    std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? "" : p.substr(0, slash);
}

std::string programFileName() { return "lamvis2"; }

bool isTerminal(int descriptor) { return isatty(descriptor) == 1; }

void binaryStandardOutput() {}

}  // namespace kit
