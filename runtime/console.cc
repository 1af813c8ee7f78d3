// The console in use: the platform's own (console-posix.cc, -win32.cc, -wasi.cc) unless a
// test has installed another one. It is kept with what a signal handler reaches, since the
// handler's report is written through it.
#include "runtime/console.h"

#include "runtime/signal_state.h"

SignalState signalState;

Console& platformConsole() {
    return signalState.console != nullptr ? *signalState.console : systemConsole();
}

void setPlatformConsole(Console* console) { signalState.console = console; }
