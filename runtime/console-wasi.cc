// The console under WASI (a WebAssembly module): the standard descriptors through the
// host's fd_read and fd_write, the terminal test from the descriptor's file type, and
// proc_exit. A module starts no processes, so the pause has no command interpreter here.
#include <cstdint>
#include <wasi/api.h>

#include "runtime/console.h"

namespace {

// Makes a call of the host again while it is interrupted; returns the count it gives, or
// -1 when it fails.
template <typename HostCall>
long countOf(HostCall call) {
    for (;;) {
        __wasi_size_t count = 0;
        const __wasi_errno_t error = call(&count);
        if (error == __WASI_ERRNO_INTR) continue;
        return error == 0 ? static_cast<long>(count) : -1;
    }
}

class WasiConsole : public Console {
public:
    long read(int fd, char* buffer, long count) override {
        const __wasi_iovec_t part{reinterpret_cast<std::uint8_t*>(buffer),
                                  static_cast<__wasi_size_t>(count)};
        return countOf([&](__wasi_size_t* got) { return __wasi_fd_read(fd, &part, 1, got); });
    }

    long write(int fd, const char* bytes, long count) override {
        const __wasi_ciovec_t part{reinterpret_cast<const std::uint8_t*>(bytes),
                                   static_cast<__wasi_size_t>(count)};
        return countOf(
            [&](__wasi_size_t* written) { return __wasi_fd_write(fd, &part, 1, written); });
    }

    // The host tells: a terminal is a character device (the browser page's terminal too).
    bool isTerminal(int fd) override {
        __wasi_fdstat_t status{};
        return __wasi_fd_fdstat_get(fd, &status) == 0 &&
               status.fs_filetype == __WASI_FILETYPE_CHARACTER_DEVICE;
    }

    // No command interpreter can be started: as with a command that cannot be started
    // elsewhere, nothing is reported and the pause returns as after a command.
    void runCommand(const char*) override {}

    [[noreturn]] void exitProcess(int status) override {
        __wasi_proc_exit(static_cast<__wasi_exitcode_t>(status));
    }
};

WasiConsole wasiConsole;

}  // namespace

Console& systemConsole() { return wasiConsole; }

// Nothing to prepare: the host's writes report a closed pipe or a full file as a failed
// write, and there are no signals.
void preparePlatform() {}
