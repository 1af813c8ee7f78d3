// The console in use: the platform's own (console-posix.cc, -win32.cc, -wasi.cc) unless a
// test has installed another one.
#include "runtime/console.h"

namespace {

Console* installedConsole = nullptr;

}  // namespace

Console& platformConsole() {
    return installedConsole != nullptr ? *installedConsole : systemConsole();
}

void setPlatformConsole(Console* console) { installedConsole = console; }
