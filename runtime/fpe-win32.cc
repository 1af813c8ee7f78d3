// The floating-point platform layer on Windows x86-64. Arithmetic runs on the SSE unit,
// the extended-precision conversions and the C run-time's library functions on the x87
// unit, so both are set: the x87 control word with FP_TRAP_SETTING and the SSE control
// register with the same three exceptions unmasked. A trapped fault arrives as a structured
// exception, caught by a vectored handler (the C run-time's signal(SIGFPE) passes no
// sub-code and runs the faulting instruction again). The C run-time's library functions
// report their errors through its math error hook, which is installed here.
#include <csignal>
#include <cfenv>
#include <cmath>

#include <windows.h>

#include "runtime/arch-x86_64/control_registers.h"
#include "runtime/error.h"
#include "runtime/fpe.h"
#include "runtime/fpe-win32.h"

namespace {

// The x87 control word: exception masks in bits 0 to 5; FP_TRAP_SETTING clears them and
// ORs 0xF2 into the low byte (denormal, underflow and precision masked, bits 6 and 7 set).
constexpr unsigned X87_MASKS = 0x003F;
constexpr unsigned FP_TRAP_SETTING = 0x00F2;
// The x87 status word: the flags, the stack fault and the error summary.
constexpr unsigned X87_STACK_FAULT = 0x0040;
constexpr unsigned X87_FLAGS = 0x80FF;
// The SSE control register: flags in bits 0 to 5, the masks of the same exceptions in 7
// to 12.
constexpr unsigned MXCSR_FLAGS = 0x003F;
constexpr unsigned MXCSR_MASKS = 0x1F80;
constexpr unsigned MXCSR_TRAPPED = 0x0080 | 0x0200 | 0x0400;  // invalid, zero divide, overflow
// Flag bits, the same in the status word and in the control register.
constexpr unsigned FLAG_INVALID = 0x01;
constexpr unsigned FLAG_DIVIDE_BY_ZERO = 0x04;
constexpr unsigned FLAG_OVERFLOW = 0x08;
constexpr unsigned FLAG_UNDERFLOW = 0x10;
constexpr unsigned FLAG_INEXACT = 0x20;

// A hold keeps the x87 unit's environment (control, status and tag words and the last
// instruction, as fnstenv stores them) in the C run-time's fenv_t, whose first 28 bytes
// have that layout, and the SSE control register in registers[0].
constexpr int HELD_MXCSR = 0;
static_assert(sizeof(std::fenv_t) >= 28);

}  // namespace

int exceptionCodeOf(const EXCEPTION_RECORD& record, const CONTEXT& context) {
    const auto code = static_cast<DWORD>(record.ExceptionCode);
    if (code == STATUS_FLOAT_MULTIPLE_TRAPS || code == STATUS_FLOAT_MULTIPLE_FAULTS) {
        const unsigned raised = context.MxCsr & MXCSR_FLAGS & ~(context.MxCsr >> 7);
        if (raised & FLAG_INVALID) return FP_CODE_INVALID;
        if (raised & FLAG_DIVIDE_BY_ZERO) return FP_CODE_DIVIDE_BY_ZERO;
        if (raised & FLAG_OVERFLOW) return FP_CODE_OVERFLOW;
        return 0;
    }
    const bool stackFault = (context.FltSave.StatusWord & X87_STACK_FAULT) != 0;
    return floatingPointExceptionCode(static_cast<int>(code), stackFault);
}

bool isFloatingPointException(DWORD code) {
    switch (code) {
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_UNDERFLOW:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_STACK_CHECK:
        case STATUS_FLOAT_MULTIPLE_TRAPS:
        case STATUS_FLOAT_MULTIPLE_FAULTS:
            return true;
        default:
            return false;
    }
}

void quietInterruptedArithmetic(CONTEXT& context) {
    context.MxCsr = (context.MxCsr & ~MXCSR_FLAGS) | MXCSR_TRAPPED;
    context.FltSave.MxCsr = context.MxCsr;
    context.FltSave.StatusWord = static_cast<WORD>(context.FltSave.StatusWord & ~X87_FLAGS);
    context.FltSave.ControlWord =
        static_cast<WORD>(context.FltSave.ControlWord | FLAG_INVALID | FLAG_DIVIDE_BY_ZERO |
                          FLAG_OVERFLOW);
}

namespace {

LONG CALLBACK floatingPointExceptionHandler(EXCEPTION_POINTERS* pointers) {
    if (!isFloatingPointException(static_cast<DWORD>(pointers->ExceptionRecord->ExceptionCode)))
        return EXCEPTION_CONTINUE_SEARCH;
    if (signalState.activeMathFunction == 0) {
        const int code = exceptionCodeOf(*pointers->ExceptionRecord, *pointers->ContextRecord);
        if (code == 0) raiseRuntimeError(ErrorCode::FloatingPointUnknown, StatementKind::General);
        signalState.fpErrorCode = code;
        reportFloatingPointError();
    }
    // Back here only while a library function runs (it handles its own faults) or while
    // the close-down runs (the report did not end the run).
    quietInterruptedArithmetic(*pointers->ContextRecord);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// SIGFPE raised outright by the program (not by the hardware): the general report.
void raisedSignalHandler(int) {
    std::signal(SIGFPE, raisedSignalHandler);
    raiseRuntimeError(ErrorCode::FloatingPointUnknown, StatementKind::General);
}

// The C run-time's math error hook: its library functions call it with the error type
// (the same numbers 1 to 6), their name, arguments and default result.
int __cdecl libraryErrorCallback(struct _exception* record) {
    MathLibraryError error;
    error.type = record->type;
    error.name = record->name;
    error.arg1 = record->arg1;
    error.arg2 = record->arg2;
    error.retval = record->retval;
    const int accepted = mathLibraryErrorHook(error);
    record->retval = error.retval;
    return accepted;
}

}  // namespace

bool enableFloatingPointTraps() {
    writeX87Control((readX87Control() & ~X87_MASKS) | FP_TRAP_SETTING);
    writeMxcsr((readMxcsr() & ~(MXCSR_FLAGS | MXCSR_MASKS)) | (MXCSR_MASKS & ~MXCSR_TRAPPED));
    if (!signalState.handlersInstalled) {
        signalState.handlersInstalled = true;
        ::AddVectoredExceptionHandler(1, floatingPointExceptionHandler);
        std::signal(SIGFPE, raisedSignalHandler);
        __mingw_setusermatherr(libraryErrorCallback);
    }
    return (readX87Control() & X87_MASKS) == (FP_TRAP_SETTING & X87_MASKS) &&
           (readMxcsr() & MXCSR_MASKS) == (MXCSR_MASKS & ~MXCSR_TRAPPED);
}

int floatingPointExceptionCode(int platformCode, bool stackFault) {
    switch (static_cast<DWORD>(platformCode)) {
        case EXCEPTION_FLT_INVALID_OPERATION:
            return stackFault ? FP_CODE_STACK_OVERFLOW : FP_CODE_INVALID;
        case EXCEPTION_FLT_DENORMAL_OPERAND: return FP_CODE_DENORMAL;
        case EXCEPTION_FLT_DIVIDE_BY_ZERO: return FP_CODE_DIVIDE_BY_ZERO;
        case EXCEPTION_FLT_OVERFLOW: return FP_CODE_OVERFLOW;
        case EXCEPTION_FLT_UNDERFLOW: return FP_CODE_UNDERFLOW;
        case EXCEPTION_FLT_INEXACT_RESULT: return FP_CODE_INEXACT;
        case EXCEPTION_FLT_STACK_CHECK: return FP_CODE_STACK_OVERFLOW;
        default: return 0;
    }
}

// The C run-time's environment functions keep only the x87 unit's words: both units are
// saved and held here.
void holdFloatingPoint(FloatingPointHold& saved) {
    saved.registers[HELD_MXCSR] = readMxcsr();
    __asm__ volatile("fnstenv %0" : "=m"(saved.environment));  // also masks the x87 unit
    writeX87Control(readX87Control() | X87_MASKS);
    writeMxcsr((saved.registers[HELD_MXCSR] & ~MXCSR_FLAGS) | MXCSR_MASKS);
}

void restoreFloatingPoint(const FloatingPointHold& saved) {
    __asm__ volatile("fldenv %0" : : "m"(saved.environment));
    writeMxcsr(saved.registers[HELD_MXCSR]);
}

int raisedFloatingPointFlags() {
    const unsigned x87Status = readX87Status();
    const unsigned raised = (readMxcsr() | x87Status) & MXCSR_FLAGS;
    int flags = 0;
    if (raised & FLAG_INVALID) flags |= FP_FLAG_INVALID;
    if ((x87Status & FLAG_INVALID) && (x87Status & X87_STACK_FAULT)) flags |= FP_FLAG_STACK_FAULT;
    if (raised & FLAG_DIVIDE_BY_ZERO) flags |= FP_FLAG_DIVIDE_BY_ZERO;
    if (raised & FLAG_OVERFLOW) flags |= FP_FLAG_OVERFLOW;
    if (raised & FLAG_UNDERFLOW) flags |= FP_FLAG_UNDERFLOW;
    if (raised & FLAG_INEXACT) flags |= FP_FLAG_INEXACT;
    return flags;
}

void clearFloatingPointFlags() {
    clearX87Exceptions();
    writeMxcsr(readMxcsr() & ~MXCSR_FLAGS);
}
