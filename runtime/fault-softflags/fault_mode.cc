// The software-flag build's start-up, flags and library calls: the analysis' arithmetic
// keeps the flags itself, and a library function's error is classified from its arguments
// and result.
#include "runtime/fpe.h"

void configureFloatingPoint() {
    // The hardware's exceptions stay masked and its flags unread; the handler is installed
    // all the same, for a floating-point signal raised outright.
    if (enableFloatingPointTraps()) {
        FloatingPointHold discarded;
        holdFloatingPoint(discarded);
    }
    clearFaultFlags();
    signalState.flagMode = true;
}

int raisedFaultFlags() { return signalState.softwareFlags; }

LibraryResult runLibraryFunction(const LibraryFunction& function, double arg1, double arg2) {
    signalState.activeMathFunction = function.code;
    const double result = function.call(arg1, arg2);
    signalState.activeMathFunction = 0;
    return {result, function.classify(arg1, arg2, result)};
}
