// The floating-point guard on Windows: a vectored exception handler, called before the
// program's own, records the first trap and resumes the interrupted instruction with the
// traps masked. The environment is kept through the run-time's own hold, which covers the
// SSE unit as well as the x87 unit (the C run-time's fegetenv and fesetenv do not).
#include <windows.h>

#include "fuzz/fp_guard.h"
#include "runtime/arch-x86_64/control_registers.h"
#include "runtime/fpe.h"

namespace {

FloatingPointHold savedEnvironment;
PVOID recorder = nullptr;
volatile LONG recordedCode = 0;

constexpr unsigned X87_STACK_FAULT = 0x0040;
constexpr unsigned X87_FLAGS = 0x80FF;  // busy, error summary, stack fault, flags
constexpr unsigned X87_TRAP_MASKS = 0x0001 | 0x0004 | 0x0008;
constexpr unsigned MXCSR_FLAGS = 0x003F;
constexpr unsigned MXCSR_TRAP_MASKS = 0x0080 | 0x0200 | 0x0400;  // invalid, zero divide, overflow

// The code of a floating-point exception; SSE faults may come as "multiple traps", told
// apart by the unmasked flags of the interrupted control register. 0: not floating point.
int codeOf(const EXCEPTION_RECORD& record, const CONTEXT& context) {
    const DWORD code = record.ExceptionCode;
    if (code == STATUS_FLOAT_MULTIPLE_TRAPS || code == STATUS_FLOAT_MULTIPLE_FAULTS) {
        const unsigned raised = context.MxCsr & MXCSR_FLAGS & ~(context.MxCsr >> 7);
        if (raised & 0x01) return FP_CODE_INVALID;
        if (raised & 0x04) return FP_CODE_DIVIDE_BY_ZERO;
        if (raised & 0x08) return FP_CODE_OVERFLOW;
        return -1;
    }
    return floatingPointExceptionCode(static_cast<int>(code),
                                      (context.FltSave.StatusWord & X87_STACK_FAULT) != 0);
}

LONG CALLBACK recordTrap(EXCEPTION_POINTERS* pointers) {
    const int code = codeOf(*pointers->ExceptionRecord, *pointers->ContextRecord);
    if (code == 0) return EXCEPTION_CONTINUE_SEARCH;
    if (recordedCode == 0 && signalState.activeMathFunction == 0) recordedCode = code;
    // The faulting instruction runs again, now masked: it delivers its default result and
    // the run goes on to its next console call.
    CONTEXT& context = *pointers->ContextRecord;
    context.MxCsr = (context.MxCsr & ~MXCSR_FLAGS) | MXCSR_TRAP_MASKS;
    context.FltSave.MxCsr = context.MxCsr;
    context.FltSave.StatusWord = static_cast<WORD>(context.FltSave.StatusWord & ~X87_FLAGS);
    context.FltSave.ControlWord = static_cast<WORD>(context.FltSave.ControlWord | X87_TRAP_MASKS);
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

namespace fpguard {

void saveHandling() {
    // The hold masks the traps; putting it back at once leaves the environment as it was.
    holdFloatingPoint(savedEnvironment);
    restoreFloatingPoint(savedEnvironment);
    recordedCode = 0;
}

void restoreHandling() {
    if (recorder != nullptr) {
        ::RemoveVectoredExceptionHandler(recorder);
        recorder = nullptr;
    }
    restoreFloatingPoint(savedEnvironment);
    recordedCode = 0;
}

bool takeOverTraps() {
    recordedCode = 0;
    if ((readMxcsr() & MXCSR_TRAP_MASKS) == MXCSR_TRAP_MASKS) return false;  // no trap in force
    if (recorder == nullptr) recorder = ::AddVectoredExceptionHandler(1, recordTrap);
    return recorder != nullptr;
}

int takeRecordedTrap() {
    const int code = recordedCode;
    recordedCode = 0;
    return code;
}

}  // namespace fpguard
