// Floating-point faults: invalid operation, division by zero and overflow stop the run with
// a MATH report at the point of the fault; underflow, denormals and inexact results keep
// the hardware's silent default. The library's power, cosine, sine and exponential run with
// the traps held, and their own errors are reported the same way. This file is the part
// every platform and fault mode shares; the traps themselves are the platform layer's, and
// what differs between the modes (the start-up, the flags read, the library call's guard) is
// the mode's own file (runtime/fault-<mode>/fault_mode.cc, runtime/hardware_faults.cc).
#include "runtime/fpe.h"

#include <cmath>
#include <cstring>
#include <string.h>
#include <string_view>

#include "runtime/error.h"
#include "runtime/mathlib.h"


namespace {

struct ExceptionEntry {
    int code;
    const char* text;
    int number;
};

const ExceptionEntry EXCEPTIONS[] = {
    {FP_CODE_INVALID, "invalid", 6101},
    {FP_CODE_DENORMAL, "denormal", 6102},
    {FP_CODE_DIVIDE_BY_ZERO, "divide by zero", 6103},
    {FP_CODE_OVERFLOW, "overflow", 6104},
    {FP_CODE_UNDERFLOW, "underflow", 6105},
    {FP_CODE_INEXACT, "inexact", 6106},
    {FP_CODE_SQUARE_ROOT, "square root", 6108},
    {FP_CODE_STACK_OVERFLOW, "stack overflow", 6110},
    {FP_CODE_STACK_UNDERFLOW, "stack underflow", 6111},
};

// Library error types 1 to 6, reported as 6200 plus the type.
const char* const LIBRARY_ERROR_TEXTS[] = {"DOMAIN", "SING",  "OVERFLOW",
                                           "UNDERFLOW", "TLOSS", "PLOSS"};

void setFunctionName(const char* name) {
    if (std::strncmp(name, "pow", 3) == 0) name = "**";
    else if (std::strncmp(name, "fmod", 4) == 0) name = "mod";
    signalState.functionNameLength = static_cast<int>(::strnlen(name, sizeof signalState.functionName - 1));
    std::memcpy(signalState.functionName, name, static_cast<std::size_t>(signalState.functionNameLength));
    signalState.functionName[signalState.functionNameLength] = '\0';
}

// The message is composed in a fixed buffer: the report may be made from inside the
// signal handler.
struct MessageBuffer {
    char text[80] = {};
    std::size_t length = 0;
    void append(const char* part, std::size_t count) {
        if (count > sizeof text - length) count = sizeof text - length;
        std::memcpy(text + length, part, count);
        length += count;
    }
    void append(const char* part) { append(part, std::strlen(part)); }
};

// The library functions the analysis calls, with what their errors are classified from
// where the flags are the software's.
const LibraryFunction POW = {MATH_FUNCTION_POW, "pow", libraryPow, libraryErrorOfPow};
const LibraryFunction COS = {MATH_FUNCTION_COS, "cos", [](double x, double) { return libraryCos(x); },
                             [](double x, double, double) { return libraryErrorOfCosOrSin(x); }};
const LibraryFunction SIN = {MATH_FUNCTION_SIN, "sin", [](double x, double) { return librarySin(x); },
                             [](double x, double, double) { return libraryErrorOfCosOrSin(x); }};
const LibraryFunction EXP = {MATH_FUNCTION_EXP, "exp", [](double x, double) { return libraryExp(x); },
                             [](double x, double, double result) { return libraryErrorOfExp(x, result); }};

// Runs one library function the build's way (runLibraryFunction) and reports its error
// through the library error hook.
double callLibrary(const LibraryFunction& function, double arg1, double arg2) {
    // The arguments are complete: a fault in their expressions is the first.
    checkFloatingPointFault();
    const LibraryResult outcome = runLibraryFunction(function, arg1, arg2);
    if (outcome.errorType == 0) return outcome.result;
    MathLibraryError error;
    error.type = outcome.errorType;
    error.name = function.name;
    error.arg1 = arg1;
    error.arg2 = arg2;
    error.retval = outcome.result;
    mathLibraryErrorHook(error);
    return error.retval;
}

}  // namespace

void clearFaultFlags() {
    signalState.softwareFlags = 0;
    clearFloatingPointFlags();
}

void reportRaisedFloatingPointFault() {
    const int raised = raisedFaultFlags();
    int code = 0;
    if (raised & FP_FLAG_DIVIDE_BY_ZERO) code = FP_CODE_DIVIDE_BY_ZERO;
    else if (raised & FP_FLAG_OVERFLOW) code = FP_CODE_OVERFLOW;
    else if (raised & FP_FLAG_INVALID) code = (raised & FP_FLAG_STACK_FAULT) ? FP_CODE_STACK_OVERFLOW : FP_CODE_INVALID;
    if (code == 0) return;
    // Cleared first: a report that returns (during the close-down) must not be repeated
    // at the next check point.
    clearFaultFlags();
    signalState.fpErrorCode = code;
    reportFloatingPointError();
}

float checkedFloatingPointResult(float value) {
    reportRaisedFloatingPointFault();
    return value;
}

bool checkedFloatingPointResult(bool condition) {
    reportRaisedFloatingPointFault();
    return condition;
}

int mathLibraryErrorHook(MathLibraryError& error) {
    if (error.type == MATH_UNDERFLOW || error.type == MATH_PLOSS) return 1;
    signalState.fpErrorCode = error.type;
    setFunctionName(error.name != nullptr ? error.name : "");
    reportFloatingPointError();
    return 0;  // reached only during the close-down; the default result stands
}

void reportFloatingPointError() {
    MessageBuffer message;
    if (signalState.fpErrorCode >= 10) {
        for (const auto& entry : EXCEPTIONS) {
            if (entry.code != signalState.fpErrorCode) continue;
            message.append("floating-point error: ");
            message.append(entry.text);
            reportRuntimeError(entry.number, std::string_view(message.text, message.length),
                               StatementKind::Math);
            return;
        }
    } else if (signalState.fpErrorCode >= MATH_DOMAIN && signalState.fpErrorCode <= MATH_PLOSS) {
        message.append(signalState.functionName, static_cast<std::size_t>(signalState.functionNameLength));
        message.append(": ");
        message.append(LIBRARY_ERROR_TEXTS[signalState.fpErrorCode - 1]);
        message.append(" error");
        reportRuntimeError(6200 + signalState.fpErrorCode, std::string_view(message.text, message.length),
                           StatementKind::Math);
        return;
    }
    raiseRuntimeError(ErrorCode::FloatingPointUnknown, StatementKind::General);
}

double mathPow(double base, double exponent) { return callLibrary(POW, base, exponent); }

double mathCos(double x) { return callLibrary(COS, x, 0.0); }

double mathSin(double x) { return callLibrary(SIN, x, 0.0); }

double mathExp(double x) { return callLibrary(EXP, x, 0.0); }
