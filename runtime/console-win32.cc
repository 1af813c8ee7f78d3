// The console on Windows: the standard handles read and written untranslated, the
// terminal test, the command interpreter named by COMSPEC, and process exit.
#include <cstdlib>
#include <string>

#include <windows.h>

#include "runtime/console.h"

namespace {

DWORD standardHandleId(int fd) {
    switch (fd) {
        case 0: return STD_INPUT_HANDLE;
        case 1: return STD_OUTPUT_HANDLE;
        case 2: return STD_ERROR_HANDLE;
        default: return 0;
    }
}

// The descriptor of the file that openWriteFile opened.
constexpr int OPENED_FILE = 3;

// The handle of a standard descriptor; null when there is none.
HANDLE standardHandle(int fd) {
    const DWORD id = standardHandleId(fd);
    if (id == 0) return nullptr;
    HANDLE handle = ::GetStdHandle(id);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// Starts `commandLine` (with `application` as the file to run, or searched along the path
// when that is null), sharing the standard handles, and waits for it to end. Returns false
// with the error of the start when it could not be started.
bool startAndWait(const char* application, std::string commandLine, DWORD& startError) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(application, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          nullptr, &startup, &process)) {
        startError = ::GetLastError();
        return false;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &exitCode);  // fetched, not used
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

class Win32Console : public Console {
public:
    // Whether the platform is of the NT family: the high bit of the version word is set
    // outside it.
    const bool ntFamily = (::GetVersion() & 0x80000000u) == 0;
    // The file that openWriteFile opened (null: none).
    HANDLE openedFile = nullptr;

    long read(int fd, char* buffer, long count) override {
        HANDLE handle = standardHandle(fd);
        if (handle == nullptr || count < 0) return -1;
        DWORD got = 0;
        if (!::ReadFile(handle, buffer, static_cast<DWORD>(count), &got, nullptr)) {
            // The writer of a pipe has closed it: the end of the input.
            return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
        }
        return static_cast<long>(got);
    }

    long write(int fd, const char* bytes, long count) override {
        HANDLE handle = fd == OPENED_FILE ? openedFile : standardHandle(fd);
        if (handle == nullptr || count < 0) return -1;
        DWORD written = 0;
        if (!::WriteFile(handle, bytes, static_cast<DWORD>(count), &written, nullptr)) return -1;
        return static_cast<long>(written);
    }

    // One file at most, not inherited by the pause's commands.
    int openWriteFile(const char* path) override {
        if (openedFile != nullptr) return -1;
        HANDLE handle = ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return -1;
        openedFile = handle;
        return OPENED_FILE;
    }

    bool isTerminal(int fd) override {
        HANDLE handle = standardHandle(fd);
        return handle != nullptr && ::GetFileType(handle) == FILE_TYPE_CHAR;
    }

    void runCommand(const char* commandLine) override {
        const std::string tail = std::string(" /c ") + commandLine;
        DWORD startError = 0;
        if (const char* comspec = std::getenv("COMSPEC"); comspec != nullptr && *comspec != '\0') {
            if (startAndWait(comspec, comspec + tail, startError)) return;
            if (startError != ERROR_FILE_NOT_FOUND && startError != ERROR_PATH_NOT_FOUND &&
                startError != ERROR_ACCESS_DENIED)
                return;  // any other failure to start is not reported
        }
        // No usable COMSPEC: the system's interpreter, searched along the path.
        const char* fallback = ntFamily ? "cmd.exe" : "command.com";
        startAndWait(nullptr, fallback + tail, startError);
    }

    [[noreturn]] void exitProcess(int status) override {
        ::ExitProcess(static_cast<UINT>(status));
    }
};

Win32Console win32Console;

}  // namespace

Console& systemConsole() { return win32Console; }

void preparePlatform() {
    // No error boxes: a fault the program does not handle ends it on the console.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}
