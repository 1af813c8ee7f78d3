// The floating-point platform layer on POSIX: the traps through the C library's exception
// enabling and a SIGFPE handler, the environment through <fenv.h>. What depends on the
// processor (reading the signal context, reading and clearing the flags) is the
// architecture's file (runtime/arch-<arch>/, runtime/fpe-posix.h).
#include <cfenv>
#include <csignal>
#include <cstring>
#include <fenv.h>

#include "runtime/error.h"
#include "runtime/fpe.h"
#include "runtime/fpe-posix.h"

namespace {

constexpr int TRAPPED_EXCEPTIONS = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

void floatingPointSignalHandler(int, siginfo_t* info, void* context) {
    const int signalCode = info != nullptr ? info->si_code : 0;
    if (signalCode == FPE_INTDIV || signalCode == FPE_INTOVF) {
        // Integer faults are not floating-point exceptions: the instruction runs again on
        // return and the process ends by the signal's default action.
        std::signal(SIGFPE, SIG_DFL);
        return;
    }
    if (signalState.activeMathFunction == 0) {
        const int code = floatingPointExceptionCode(signalCode, stackFaultIn(context));
        if (code == 0) raiseRuntimeError(ErrorCode::FloatingPointUnknown, StatementKind::General);
        signalState.fpErrorCode = code;
        reportFloatingPointError();
    }
    // Back here only while a library function runs (it handles its own faults) or while
    // the close-down runs (the report did not end the run): the handler stays installed.
    quietInterruptedArithmetic(context);
}

// Unmasks the three trapped exceptions and reads the enabled set back. A C library without
// the enabling call (or a unit that cannot trap, whose enabling call fails) leaves them
// masked.
bool unmaskTrappedExceptions() {
#if defined(LAMVIS_HAVE_FEENABLEEXCEPT)
    ::fedisableexcept(FE_ALL_EXCEPT);
    const bool enabled = ::feenableexcept(TRAPPED_EXCEPTIONS) != -1 &&
                         ::fegetexcept() == TRAPPED_EXCEPTIONS;
    if (!enabled) ::fedisableexcept(FE_ALL_EXCEPT);
    return enabled;
#else
    return false;
#endif
}

}  // namespace

bool enableFloatingPointTraps() {
    const bool inForce = unmaskTrappedExceptions();

    // The handler is installed in any case: a SIGFPE raised outright gets its report too.
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = floatingPointSignalHandler;
    sigemptyset(&action.sa_mask);
    // The report ends the run from inside the handler, so the signal must not stay
    // blocked: a fault during the close-down reaches the handler again.
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigaction(SIGFPE, &action, nullptr);
    return inForce;
}

int floatingPointExceptionCode(int signalCode, bool stackFault) {
    switch (signalCode) {
        case FPE_FLTINV: return stackFault ? FP_CODE_STACK_OVERFLOW : FP_CODE_INVALID;
        case FPE_FLTDIV: return FP_CODE_DIVIDE_BY_ZERO;
        case FPE_FLTOVF: return FP_CODE_OVERFLOW;
        case FPE_FLTUND: return FP_CODE_UNDERFLOW;
        case FPE_FLTRES: return FP_CODE_INEXACT;
        default: return 0;
    }
}

void holdFloatingPoint(FloatingPointHold& saved) { std::feholdexcept(&saved.environment); }

void restoreFloatingPoint(const FloatingPointHold& saved) { std::fesetenv(&saved.environment); }
