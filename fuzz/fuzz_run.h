// One run of a fuzz target in process: a fake console whose every call first reports a
// floating-point fault met since the last one, and a scope that gives the run fresh
// process-wide state and takes it all back afterwards, so that inputs cannot affect each
// other: the console records and the reader's read-ahead, the scan and statement state, the
// error state with the close-down flag, the floating-point codes, environment and signal
// handling, and the inversion's row scale.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/lamvis2.h"
#include "fuzz/fp_guard.h"
#include "runtime/fpe.h"
#include "app/startup.h"
#include "tests/fake_console.h"

[[noreturn]] inline void fuzzFailure(const char* target, const char* what) {
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

class FuzzConsole : public FakeConsole {
public:
    explicit FuzzConsole(FloatingPointGuard& guard) : guard_(guard) {}

    // Writes to standard output fail once this many bytes have been written (-1: never),
    // as when the reader of a pipe goes away.
    long outputLimit = -1;

    // More than this many bytes on standard output means a run without end (0: no bound).
    std::size_t outputBound = 0;

    long read(int fd, char* buffer, long count) override {
        guard_.reportPendingFault();
        return FakeConsole::read(fd, buffer, count);
    }

    long write(int fd, const char* bytes, long count) override {
        guard_.reportPendingFault();
        if (fd == STANDARD_OUTPUT && outputLimit >= 0) {
            const long room = outputLimit - static_cast<long>(out.size());
            if (room <= 0) return -1;
            if (count > room) count = room;  // a partial write; the next one fails
        }
        if (outputBound > 0 && fd == STANDARD_OUTPUT &&
            out.size() + static_cast<std::size_t>(count) > outputBound)
            fuzzFailure("fuzz", "output without end");
        return FakeConsole::write(fd, bytes, count);
    }

    bool isTerminal(int fd) override {
        guard_.reportPendingFault();
        return FakeConsole::isTerminal(fd);
    }

    void runCommand(const char* commandLine) override {
        guard_.reportPendingFault();
        FakeConsole::runCommand(commandLine);
    }

private:
    FloatingPointGuard& guard_;
};

// Opens a run on `console`, whose guard must be the one given. Set the console's terminal
// flags before. With `startProgram` the run-time starts as the program starts it (console
// records, floating-point traps); otherwise the records are opened and the traps set up
// alone. Usage: a guard, then its console, then the run.
struct FuzzRun {
    FakeConsoleScope scope;  // console records, reader and error state, set and reset

    FuzzRun(FuzzConsole& console, FloatingPointGuard& guard, bool startProgram) : scope(console) {
        if (startProgram) startRuntime(scope.run);
        else configureFloatingPoint();
        guard.arm();
    }
};

// The whole program in process: start-up, the analysis session, the end of the run.
// Returns the exit status. `console`'s guard must be `guard`.
inline int runWholeProgram(FuzzConsole& console, FloatingPointGuard& guard) {
    FuzzRun run(console, guard, true);
    return run.scope.runToExit([&guard, &run] {
        AnalysisSession session(run.scope.io);
        session.run();
        // A fault after the last console call (the sweep's last time step can overflow)
        // ends the run before its normal end, as the trap would.
        guard.reportPendingFault();
    });
}
