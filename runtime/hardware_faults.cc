// What the two modes that read the hardware's exception flags share (trap and flags): the
// check points read the hardware's flags, and a library function runs with the traps held
// and is judged by the flags it raised.
#include "runtime/fpe.h"

namespace {

// The library error of the hardware flags a library function raised.
int libraryErrorType(int raised) {
    if (raised & FP_FLAG_INVALID) return MATH_DOMAIN;
    if (raised & FP_FLAG_DIVIDE_BY_ZERO) return MATH_SING;
    if (raised & FP_FLAG_OVERFLOW) return MATH_OVERFLOW;
    if (raised & FP_FLAG_UNDERFLOW) return MATH_UNDERFLOW;
    return 0;
}

}  // namespace

int raisedFaultFlags() { return raisedFloatingPointFlags(); }

LibraryResult runLibraryFunction(const LibraryFunction& function, double arg1, double arg2) {
    FloatingPointHold saved;
    holdFloatingPoint(saved);
    signalState.activeMathFunction = function.code;
    // Stored before the flags are read, so that the call is complete first.
    volatile double held = function.call(arg1, arg2);
    signalState.activeMathFunction = 0;
    const int raised = raisedFloatingPointFlags();
    restoreFloatingPoint(saved);
    return {held, libraryErrorType(raised)};
}
