// Start-up of the run-time support, before the analysis runs.
#pragma once

#include "consoleio/console_io.h"
#include "runtime/error.h"

// Everything of one run below the analysis: the error state and the console I/O.
struct RunTime {
    ErrorState errors;
    ConsoleIo console;
};

// Prepares the platform, makes `run` the run in progress (its error state the one reports
// use, its console's close-down registered), creates the console records and sets up the
// floating-point traps. `run` must outlive the run (it ends in endRun).
void startRuntime(RunTime& run);
