// The one piece of process-wide state: what a floating-point signal (or vectored exception)
// handler must reach to report a fault and end the run, since it is given nothing of the
// program's. Everything else of a run lives in the objects the start-up makes.
#pragma once

class Console;
struct ErrorState;

struct SignalState {
    Console* console = nullptr;   // the console in use; null: the platform's own
    ErrorState* errors = nullptr; // the error state of the run in progress; null before one
    int activeMathFunction = 0;   // code of the library function running for the analysis
    int fpErrorCode = 0;          // the fault being reported: exception code or library error
    bool flagMode = false;        // faults are found from the exception flags, not by traps
    int softwareFlags = 0;        // the flags a software-flag build's arithmetic keeps
    char functionName[9] = {};    // the library function of a library error, at most 8 chars
    int functionNameLength = 0;
    bool handlersInstalled = false; // the platform layer's handlers are in place
};

extern SignalState signalState;
