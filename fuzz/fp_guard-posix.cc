// The floating-point guard on POSIX: on x86-64 Linux a SIGFPE handler that records the
// first trap and resumes the interrupted instruction with the traps masked; elsewhere the
// traps are not taken over and the flags are read.
#include <cfenv>
#include <csignal>
#include <cstdlib>
#include <fenv.h>
#include <unistd.h>

#if defined(__linux__) && defined(__x86_64__)
#include <ucontext.h>
#define FP_GUARD_RESUMES_TRAPS 1
#endif

#include "fuzz/fp_guard.h"
#include "runtime/fpe.h"

namespace {

std::fenv_t savedEnvironment;
struct sigaction savedAction;

volatile sig_atomic_t recordedCode = 0;

#ifdef FP_GUARD_RESUMES_TRAPS
constexpr unsigned X87_STACK_FAULT = 0x0040;
constexpr unsigned X87_FLAGS = 0x80FF;   // busy, error summary, stack fault, flags
constexpr unsigned X87_TRAP_MASKS = 0x0001 | 0x0004 | 0x0008;
constexpr unsigned MXCSR_FLAGS = 0x003F;
constexpr unsigned MXCSR_TRAP_MASKS = 0x0080 | 0x0200 | 0x0400;  // invalid, zero divide, overflow

void recordTrap(int, siginfo_t* info, void* context) {
    const int signalCode = info != nullptr ? info->si_code : 0;
    if (signalCode == FPE_INTDIV || signalCode == FPE_INTOVF) {
        // An integer fault is a defect of the program, not a floating-point exception.
        const char message[] = "fuzz: integer division fault\n";
        (void)!::write(2, message, sizeof message - 1);
        std::abort();
    }
    auto* state = static_cast<ucontext_t*>(context);
    auto* fpu = state != nullptr ? state->uc_mcontext.fpregs : nullptr;
    if (recordedCode == 0 && signalState.activeMathFunction == 0) {
        const bool stackFault = fpu != nullptr && (fpu->swd & X87_STACK_FAULT) != 0;
        const int code = floatingPointExceptionCode(signalCode, stackFault);
        recordedCode = code != 0 ? code : -1;
    }
    if (fpu == nullptr) std::abort();  // cannot resume without the saved state
    // On return the faulting instruction runs again, now masked: it delivers its default
    // result and the run goes on to its next console call.
    fpu->mxcsr = (fpu->mxcsr & ~MXCSR_FLAGS) | MXCSR_TRAP_MASKS;
    fpu->swd = static_cast<decltype(fpu->swd)>(fpu->swd & ~X87_FLAGS);
    fpu->cwd = static_cast<decltype(fpu->cwd)>(fpu->cwd | X87_TRAP_MASKS);
}
#endif

}  // namespace

namespace fpguard {

void saveHandling() {
    std::fegetenv(&savedEnvironment);
    sigaction(SIGFPE, nullptr, &savedAction);
    recordedCode = 0;
}

void restoreHandling() {
    sigaction(SIGFPE, &savedAction, nullptr);
    std::fesetenv(&savedEnvironment);
    recordedCode = 0;
}

bool takeOverTraps() {
    recordedCode = 0;
#ifdef FP_GUARD_RESUMES_TRAPS
    if ((::fegetexcept() & (FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW)) == 0) return false;
    struct sigaction action = {};
    action.sa_sigaction = recordTrap;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO;
    return sigaction(SIGFPE, &action, nullptr) == 0;
#else
    return false;
#endif
}

int takeRecordedTrap() {
    const int code = recordedCode;
    recordedCode = 0;
    return code;
}

}  // namespace fpguard
