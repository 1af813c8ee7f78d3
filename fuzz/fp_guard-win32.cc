// The floating-point guard on Windows: a vectored exception handler, called before the
// program's own, records the first trap and resumes the interrupted instruction with the
// traps masked. The environment is kept through the run-time's own hold, which covers the
// SSE unit as well as the x87 unit (the C run-time's fegetenv and fesetenv do not).
#include <windows.h>

#include "fuzz/fp_guard.h"
#include "runtime/arch-x86_64/control_registers.h"
#include "runtime/fpe.h"
#include "runtime/fpe-win32.h"

namespace {

FloatingPointHold savedEnvironment;
PVOID recorder = nullptr;
volatile LONG recordedCode = 0;

constexpr unsigned MXCSR_TRAP_MASKS = 0x0080 | 0x0200 | 0x0400;  // invalid, zero divide, overflow

LONG CALLBACK recordTrap(EXCEPTION_POINTERS* pointers) {
    if (!isFloatingPointException(static_cast<DWORD>(pointers->ExceptionRecord->ExceptionCode)))
        return EXCEPTION_CONTINUE_SEARCH;
    if (recordedCode == 0 && signalState.activeMathFunction == 0) {
        const int code = exceptionCodeOf(*pointers->ExceptionRecord, *pointers->ContextRecord);
        recordedCode = code != 0 ? code : -1;
    }
    // The faulting instruction runs again, now masked (as the program's handler lets it
    // during the close-down): it delivers its default result and the run goes on to its
    // next console call.
    quietInterruptedArithmetic(*pointers->ContextRecord);
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
