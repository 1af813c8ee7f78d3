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
#include "runtime/fpe-posix.h"
#include "runtime/fpe.h"

namespace {

void recordTrap(int, siginfo_t* info, void* context) {
    const int signalCode = info != nullptr ? info->si_code : 0;
    if (signalCode == FPE_INTDIV || signalCode == FPE_INTOVF) {
        // An integer fault is a defect of the program, not a floating-point exception.
        const char message[] = "fuzz: integer division fault\n";
        (void)!::write(2, message, sizeof message - 1);
        std::abort();
    }
    if (fpguard::recordedTrapCode == 0 && signalState.activeMathFunction == 0) {
        const int code = floatingPointExceptionCode(signalCode, stackFaultIn(context));
        fpguard::recordedTrapCode = code != 0 ? code : -1;
    }
    const auto* state = static_cast<ucontext_t*>(context);
    if (state == nullptr || state->uc_mcontext.fpregs == nullptr) std::abort();  // cannot resume
    // On return the faulting instruction runs again, now masked (as the program's handler
    // lets it during the close-down): it delivers its default result and the run goes on to
    // its next console call.
    quietInterruptedArithmetic(context);
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
