// The floating-point guard's trap takeover on x86-64 Linux: a SIGFPE handler that records
// the first trap and resumes the interrupted instruction with the traps masked, through the
// signal context.
#include <cfenv>
#include <csignal>
#include <cstdlib>
#include <fenv.h>
#include <ucontext.h>
#include <unistd.h>

#include "fuzz/fp_guard.h"
#include "fuzz/fp_guard-posix.h"
#include "runtime/fpe.h"

namespace {

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
    if (fpguard::recordedTrapCode == 0 && signalState.activeMathFunction == 0) {
        const bool stackFault = fpu != nullptr && (fpu->swd & X87_STACK_FAULT) != 0;
        const int code = floatingPointExceptionCode(signalCode, stackFault);
        fpguard::recordedTrapCode = code != 0 ? code : -1;
    }
    if (fpu == nullptr) std::abort();  // cannot resume without the saved state
    // On return the faulting instruction runs again, now masked: it delivers its default
    // result and the run goes on to its next console call.
    fpu->mxcsr = (fpu->mxcsr & ~MXCSR_FLAGS) | MXCSR_TRAP_MASKS;
    fpu->swd = static_cast<decltype(fpu->swd)>(fpu->swd & ~X87_FLAGS);
    fpu->cwd = static_cast<decltype(fpu->cwd)>(fpu->cwd | X87_TRAP_MASKS);
}

}  // namespace

namespace fpguard {

bool takeOverTraps() {
    recordedTrapCode = 0;
    if ((::fegetexcept() & (FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW)) == 0) return false;
    struct sigaction action = {};
    action.sa_sigaction = recordTrap;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO;
    return sigaction(SIGFPE, &action, nullptr) == 0;
}

}  // namespace fpguard
