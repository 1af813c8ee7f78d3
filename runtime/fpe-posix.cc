// The floating-point platform layer on POSIX: the traps through the C library's exception
// enabling and a SIGFPE handler, the environment through <fenv.h>. On x86-64 Linux the
// handler also reads the x87 stack check and quiets the interrupted instruction through
// the signal context; elsewhere only the C library's interface is used.
#include <cfenv>
#include <csignal>
#include <cstring>
#include <fenv.h>

#if defined(__linux__) && defined(__x86_64__)
#include <ucontext.h>
#define LAMVIS_X86_64_SIGNAL_CONTEXT 1
#endif

#include "runtime/error.h"
#include "runtime/fpe.h"

namespace {

constexpr int TRAPPED_EXCEPTIONS = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

#if defined(LAMVIS_X86_64_SIGNAL_CONTEXT)
constexpr unsigned X87_STACK_FAULT = 0x0040;   // status word: stack fault
constexpr unsigned MXCSR_FLAGS = 0x003F;       // exception flags
constexpr unsigned MXCSR_TRAP_MASKS = 0x0080 | 0x0200 | 0x0400;  // invalid, zero divide, overflow
constexpr unsigned X87_FLAGS = 0x80FF;         // busy, error summary, stack fault, flags
constexpr unsigned X87_TRAP_MASKS = 0x0001 | 0x0004 | 0x0008;

bool stackFaultIn(void* context) {
    auto* state = static_cast<ucontext_t*>(context);
    return state != nullptr && state->uc_mcontext.fpregs != nullptr &&
           (state->uc_mcontext.fpregs->swd & X87_STACK_FAULT) != 0;
}

// Lets the interrupted instruction complete with the default result when the handler
// returns: an SSE instruction that trapped is executed again on return, so its exception
// must no longer trap; the pending flags are cleared.
void quietInterruptedArithmetic(void* context) {
    auto* state = static_cast<ucontext_t*>(context);
    if (state == nullptr || state->uc_mcontext.fpregs == nullptr) return;
    auto* fpu = state->uc_mcontext.fpregs;
    fpu->mxcsr = (fpu->mxcsr & ~MXCSR_FLAGS) | MXCSR_TRAP_MASKS;
    fpu->swd = static_cast<decltype(fpu->swd)>(fpu->swd & ~X87_FLAGS);
    fpu->cwd = static_cast<decltype(fpu->cwd)>(fpu->cwd | X87_TRAP_MASKS);
}
#else
bool stackFaultIn(void*) { return false; }

void quietInterruptedArithmetic(void*) { std::feclearexcept(FE_ALL_EXCEPT); }
#endif

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

namespace {

// The C library's flags as the run-time names them.
int runtimeFlags(int raised) {
    int flags = 0;
    if (raised & FE_INVALID) flags |= FP_FLAG_INVALID;
    if (raised & FE_DIVBYZERO) flags |= FP_FLAG_DIVIDE_BY_ZERO;
    if (raised & FE_OVERFLOW) flags |= FP_FLAG_OVERFLOW;
    if (raised & FE_UNDERFLOW) flags |= FP_FLAG_UNDERFLOW;
    if (raised & FE_INEXACT) flags |= FP_FLAG_INEXACT;
    return flags;
}

}  // namespace

#if defined(__x86_64__)
int raisedFloatingPointFlags() {
    unsigned short status = 0;
    asm volatile("fnstsw %0" : "=m"(status));
    const int raised = std::fetestexcept(FE_ALL_EXCEPT);
    const bool stackCheck = (raised & FE_INVALID) != 0 && (status & 0x0040) != 0;
    return runtimeFlags(raised) | (stackCheck ? FP_FLAG_STACK_FAULT : 0);
}

void clearFloatingPointFlags() {
    std::feclearexcept(FE_ALL_EXCEPT);
    asm volatile("fnclex");  // the x87 status word's stack check and summary bits too
}
#else
int raisedFloatingPointFlags() { return runtimeFlags(std::fetestexcept(FE_ALL_EXCEPT)); }

void clearFloatingPointFlags() { std::feclearexcept(FE_ALL_EXCEPT); }
#endif
