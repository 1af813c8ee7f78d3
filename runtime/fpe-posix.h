// The part of the POSIX floating-point layer that depends on the processor, one file per
// architecture chosen by the build (cmake/floating-point.cmake): what the signal context
// tells of a trap (runtime/arch-<arch>/signal_context*.cc) and the status flags
// (runtime/arch-<arch>/fp_flags-posix.cc, which define raisedFloatingPointFlags and
// clearFloatingPointFlags of runtime/fpe.h).
#pragma once

#include <cfenv>

#include "runtime/fpflags.h"

// Whether the trap the signal context describes was the x87 unit's stack check (false where
// the processor has no such check or its context cannot be read).
bool stackFaultIn(void* context);

// Lets the interrupted instruction complete with the default result when the signal
// handler returns, and clears the pending flags.
void quietInterruptedArithmetic(void* context);

// The C library's flags as the run-time names them.
inline int runtimeFlagsOf(int raised) {
    int flags = 0;
    if (raised & FE_INVALID) flags |= FP_FLAG_INVALID;
    if (raised & FE_DIVBYZERO) flags |= FP_FLAG_DIVIDE_BY_ZERO;
    if (raised & FE_OVERFLOW) flags |= FP_FLAG_OVERFLOW;
    if (raised & FE_UNDERFLOW) flags |= FP_FLAG_UNDERFLOW;
    if (raised & FE_INEXACT) flags |= FP_FLAG_INEXACT;
    return flags;
}
