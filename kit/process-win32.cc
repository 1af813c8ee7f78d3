#include "kit/process.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <thread>
#include <windows.h>

namespace kit {
namespace {

// One argument quoted for the command line, as the C run-time's parser splits it again.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') out.append(backslashes * 2 + 1, '\\');
        else out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

std::string lastError(const std::string& what) {
    return what + ": Windows error " + std::to_string(GetLastError());
}

struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~Handle() { close(); }
    void close() {
        if (h != INVALID_HANDLE_VALUE && h != nullptr) CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
};

// A pipe whose end `inherited` (0 read, 1 write) the child inherits.
bool makePipe(Handle& read, Handle& write, int inherited) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    if (!CreatePipe(&read.h, &write.h, &sa, 0)) return false;
    SetHandleInformation(inherited == 0 ? write.h : read.h, HANDLE_FLAG_INHERIT, 0);
    return true;
}

void readAll(HANDLE h, std::string* text) {
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) text->append(buf, n);
}

// The kit's environment block with `extra` in place of variables of the same names
// (empty when there is nothing to add: the child inherits the kit's).
std::string environmentBlock(const Environment& extra) {
    std::string block;
    if (extra.empty()) return block;
    char* strings = GetEnvironmentStringsA();
    for (const char* e = strings; e != nullptr && *e != '\0'; e += std::strlen(e) + 1) {
        std::string_view entry(e);
        bool replaced = false;
        for (const std::string& x : extra) {
            std::string_view name = std::string_view(x).substr(0, x.find('='));
            std::string_view own = entry.substr(0, entry.find('=', 1));
            replaced = replaced || (own.size() == name.size() &&
                                    _strnicmp(own.data(), name.data(), name.size()) == 0);
        }
        if (!replaced) block.append(entry).push_back('\0');
    }
    if (strings != nullptr) FreeEnvironmentStringsA(strings);
    for (const std::string& x : extra) block.append(x).push_back('\0');
    block.push_back('\0');
    return block;
}

// Starts `command` with the three standard handles given; the handles stay the caller's.
bool start(const std::vector<std::string>& command, HANDLE in, HANDLE out, HANDLE err,
           PROCESS_INFORMATION& pi, std::string& error, const Environment& environment) {
    std::string line;
    for (const std::string& a : command) {
        if (!line.empty()) line += ' ';
        line.append(quoted(a));
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    // Only the three standard handles are inherited.
    HANDLE handles[3] = {in, out, err};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::string storage(size, '\0');
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    bool listed = InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
                  UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                            sizeof handles, nullptr, nullptr);
    STARTUPINFOEXA six{};
    six.StartupInfo = si;
    six.StartupInfo.cb = sizeof six;
    six.lpAttributeList = listed ? attributes : nullptr;
    std::string block = environmentBlock(environment);
    BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                             listed ? EXTENDED_STARTUPINFO_PRESENT : 0,
                             block.empty() ? nullptr : block.data(), nullptr, &six.StartupInfo, &pi);
    if (listed) DeleteProcThreadAttributeList(attributes);
    if (!ok) {
        error = lastError("cannot start " + command[0]);
        return false;
    }
    return true;
}

int finish(PROCESS_INFORMATION& pi) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

}  // namespace

ProcessResult runCaptured(const std::vector<std::string>& command, std::string_view input,
                          const Environment& environment) {
    ProcessResult result;
    Handle inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!makePipe(inRead, inWrite, 0) || !makePipe(outRead, outWrite, 1) ||
        !makePipe(errRead, errWrite, 1)) {
        result.error = lastError("cannot make a pipe");
        return result;
    }
    PROCESS_INFORMATION pi{};
    if (!start(command, inRead.h, outWrite.h, errWrite.h, pi, result.error, environment)) return result;
    inRead.close();
    outWrite.close();
    errWrite.close();
    // Standard input is written, and standard error read, beside the reading of the output.
    std::thread writer([&] {
        std::size_t done = 0;
        while (done < input.size()) {
            DWORD n = 0;
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(input.size() - done, 65536));
            if (!WriteFile(inWrite.h, input.data() + done, chunk, &n, nullptr)) break;
            done += n;
        }
        inWrite.close();
    });
    std::thread errors([&] { readAll(errRead.h, &result.err); });
    readAll(outRead.h, &result.out);
    writer.join();
    errors.join();
    result.status = finish(pi);
    return result;
}

ProcessResult runWithFiles(const std::vector<std::string>& command, const std::string& inputPath,
                           const std::string& outputPath, const Environment& environment) {
    ProcessResult result;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    Handle in, out, errRead, errWrite;
    in.h = CreateFileA(inputPath.c_str(), GENERIC_READ, FILE_SHARE_READ, &sa, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in.h == INVALID_HANDLE_VALUE) {
        result.error = lastError(inputPath);
        return result;
    }
    out.h = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out.h == INVALID_HANDLE_VALUE) {
        result.error = lastError(outputPath);
        return result;
    }
    if (!makePipe(errRead, errWrite, 1)) {
        result.error = lastError("cannot make a pipe");
        return result;
    }
    PROCESS_INFORMATION pi{};
    if (!start(command, in.h, out.h, errWrite.h, pi, result.error, environment)) return result;
    in.close();
    out.close();
    errWrite.close();
    readAll(errRead.h, &result.err);
    result.status = finish(pi);
    return result;
}

std::string executableDirectory() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n == MAX_PATH) return "";
    std::string p(path, n);
    std::size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? "" : p.substr(0, slash);
}

std::string programFileName() { return "lamvis2.exe"; }

bool isTerminal(int descriptor) { return _isatty(descriptor) != 0; }

void binaryStandardOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    // Standard input too: an answer file given as - keeps its bytes (its CR LF).
    _setmode(_fileno(stdin), _O_BINARY);
}

}  // namespace kit
