// The platform seam: the only place that touches descriptors, child processes and
// process exit. The run-time reaches the platform through platformConsole(), so that tests
// can put a fake console in its place and drive the whole I/O engine in process.
#pragma once

#include <cstddef>

// The standard descriptors.
constexpr int STANDARD_INPUT = 0;
constexpr int STANDARD_OUTPUT = 1;
constexpr int STANDARD_ERROR = 2;

class Console {
public:
    virtual ~Console() = default;

    // One read call of at most `count` bytes on descriptor `fd` (0 = standard input).
    // Returns the number of bytes read, 0 at end of input, -1 on failure.
    virtual long read(int fd, char* buffer, long count) = 0;

    // Writes `count` bytes to descriptor `fd` (1 = standard output, 2 = standard error),
    // untranslated. Returns the number of bytes written (possibly fewer), or -1 on failure.
    virtual long write(int fd, const char* bytes, long count) = 0;

    // Creates (or empties) the file `path` for writing and returns a descriptor for write()
    // above 2, or -1 when it cannot. Only the read trace uses it (consoleio/read_trace.h);
    // a console that has no files returns -1.
    virtual int openWriteFile(const char* path) {
        (void)path;
        return -1;
    }

    // Whether descriptor `fd` is a terminal.
    virtual bool isTerminal(int fd) = 0;

    // Runs one command line through the command interpreter, sharing the standard
    // descriptors, and waits for it. Its exit status and any failure to start are ignored.
    virtual void runCommand(const char* commandLine) = 0;

    // Ends the process with `status`. Never returns (a test console throws instead).
    [[noreturn]] virtual void exitProcess(int status) = 0;
};

// The console in use; the platform's own unless a test has installed another one.
Console& platformConsole();

// The platform's own console (implemented once per platform).
Console& systemConsole();

// Installs `console` as the console in use; nullptr puts the platform's own back.
void setPlatformConsole(Console* console);

// Prepares the process for the console: a write to a closed pipe or beyond a file-size
// limit must come back as a failed write (reported as an output fault), not end the
// process by a signal.
void preparePlatform();
