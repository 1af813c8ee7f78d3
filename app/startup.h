// Start-up of the run-time support, before the analysis runs.
#pragma once

#include "consoleio/console_io.h"
#include "runtime/error.h"

// Everything of one run below the analysis: the error state and the console I/O, which
// raises its errors in it.
struct RunTime {
    ErrorState errors;
    ConsoleIo console{errors};
};

// Prepares the platform, registers the console's close-down in `run`'s error state and
// makes that the one a signal handler reports through, creates the console records and
// sets up the floating-point traps. `run` must outlive the run (it ends in
// endRun(run.errors, ...)).
void startRuntime(RunTime& run);
