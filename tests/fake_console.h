// An in-process console for unit tests: scripted standard input, captured standard output
// and standard error, chosen terminal flags, recorded commands, and a process exit that
// throws ProcessExit instead of ending the test.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/startup.h"
#include "consoleio/console_io.h"
#include "runtime/console.h"
#include "runtime/error.h"

struct ProcessExit {
    int status;
};

class FakeConsole : public Console {
public:
    std::string input;                 // bytes of standard input
    std::size_t inputPosition = 0;
    std::vector<long> readSizes;       // redirected input: byte limits of successive read
                                       // calls, used in turn and cycled (empty: no limit)
    std::size_t readCalls = 0;
    bool inputTerminal = false;
    bool outputTerminal = false;
    bool failReads = false;
    bool failWrites = false;
    std::string out;                   // bytes written to standard output
    std::string err;                   // bytes written to standard error
    std::vector<std::string> commands; // command lines run

    long read(int fd, char* buffer, long count) override {
        if (fd != 0 || failReads) return -1;
        long available = static_cast<long>(input.size() - inputPosition);
        long n = std::min(count, available);
        if (inputTerminal) {
            // A terminal hands over one line per read call (up to and including its LF).
            auto lineEnd = input.find('\n', inputPosition);
            if (lineEnd != std::string::npos)
                n = std::min(n, static_cast<long>(lineEnd - inputPosition + 1));
        } else if (!readSizes.empty()) {
            n = std::min(n, readSizes[readCalls % readSizes.size()]);
        }
        ++readCalls;
        std::memcpy(buffer, input.data() + inputPosition, static_cast<std::size_t>(n));
        inputPosition += static_cast<std::size_t>(n);
        return n;
    }

    long write(int fd, const char* bytes, long count) override {
        if (failWrites && fd == 1) return -1;
        if (fd == 1) out.append(bytes, static_cast<std::size_t>(count));
        else if (fd == 2) err.append(bytes, static_cast<std::size_t>(count));
        else return -1;
        return count;
    }

    bool isTerminal(int fd) override {
        return fd == 0 ? inputTerminal : fd == 1 ? outputTerminal : false;
    }

    void runCommand(const char* commandLine) override { commands.emplace_back(commandLine); }

    [[noreturn]] void exitProcess(int status) override { throw ProcessExit{status}; }
};

// Installs a fake console for the lifetime of the scope, with a run-time of its own: a
// fresh error state and console I/O, whose records are created for the fake's terminal
// flags (so set those before opening the scope).
class FakeConsoleScope {
public:
    RunTime run;
    ConsoleIo& io = run.console;

    explicit FakeConsoleScope(FakeConsole& console) {
        setPlatformConsole(&console);
        useErrorState(&run.errors);
        registerConsoleHooks(run.errors, closeDownConsole, resetConsoleAfterError, &io.units);
        io.units.open();
    }
    ~FakeConsoleScope() {
        useErrorState(nullptr);
        setPlatformConsole(nullptr);
    }
    FakeConsoleScope(const FakeConsoleScope&) = delete;
    FakeConsoleScope& operator=(const FakeConsoleScope&) = delete;

    // Runs `body` and then the normal end of the run (endRun(run.errors, 0)); returns the
    // exit status, which is 1 when `body` raised a run-time error.
    int runToExit(const std::function<void()>& body) {
        try {
            body();
            endRun(run.errors, 0);
        } catch (const ProcessExit& exit) {
            return exit.status;
        }
        return -1;  // not reached: endRun always exits
    }
};

// A fake console with redirected input and output, in its scope.
struct FakeRun {
    FakeConsole console;
    FakeConsoleScope scope{console};
};
