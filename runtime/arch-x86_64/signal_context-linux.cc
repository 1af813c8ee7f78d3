// The signal context of a floating-point trap on x86-64 Linux: the x87 status word tells a
// stack check apart from an invalid operation, and the saved state of both units is changed
// so that the interrupted instruction completes when the handler returns.
#include <ucontext.h>

#include "runtime/fpe-posix.h"

namespace {

constexpr unsigned X87_STACK_FAULT = 0x0040;   // status word: stack fault
constexpr unsigned MXCSR_FLAGS = 0x003F;       // exception flags
constexpr unsigned MXCSR_TRAP_MASKS = 0x0080 | 0x0200 | 0x0400;  // invalid, zero divide, overflow
constexpr unsigned X87_FLAGS = 0x80FF;         // busy, error summary, stack fault, flags
constexpr unsigned X87_TRAP_MASKS = 0x0001 | 0x0004 | 0x0008;

}  // namespace

bool stackFaultIn(void* context) {
    auto* state = static_cast<ucontext_t*>(context);
    return state != nullptr && state->uc_mcontext.fpregs != nullptr &&
           (state->uc_mcontext.fpregs->swd & X87_STACK_FAULT) != 0;
}

// An SSE instruction that trapped is executed again on return, so its exception must no
// longer trap; the pending flags of both units are cleared.
void quietInterruptedArithmetic(void* context) {
    auto* state = static_cast<ucontext_t*>(context);
    if (state == nullptr || state->uc_mcontext.fpregs == nullptr) return;
    auto* fpu = state->uc_mcontext.fpregs;
    fpu->mxcsr = (fpu->mxcsr & ~MXCSR_FLAGS) | MXCSR_TRAP_MASKS;
    fpu->swd = static_cast<decltype(fpu->swd)>(fpu->swd & ~X87_FLAGS);
    fpu->cwd = static_cast<decltype(fpu->cwd)>(fpu->cwd | X87_TRAP_MASKS);
}
