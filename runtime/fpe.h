// Floating-point traps, their reports, and the wrappers of the mathematical library.
#pragma once

// Exception codes of trapped floating-point faults, as the signal layer delivers them.
constexpr int FP_CODE_INVALID = 129;
constexpr int FP_CODE_DENORMAL = 130;
constexpr int FP_CODE_DIVIDE_BY_ZERO = 131;
constexpr int FP_CODE_OVERFLOW = 132;
constexpr int FP_CODE_UNDERFLOW = 133;
constexpr int FP_CODE_INEXACT = 134;
constexpr int FP_CODE_SQUARE_ROOT = 136;
constexpr int FP_CODE_STACK_OVERFLOW = 138;
constexpr int FP_CODE_STACK_UNDERFLOW = 139;

// Error types of the mathematical library.
constexpr int MATH_DOMAIN = 1;
constexpr int MATH_SING = 2;
constexpr int MATH_OVERFLOW = 3;
constexpr int MATH_UNDERFLOW = 4;
constexpr int MATH_TLOSS = 5;
constexpr int MATH_PLOSS = 6;

// Codes of activeMathFunction for the library functions the analysis calls.
constexpr int MATH_FUNCTION_POW = 36;
constexpr int MATH_FUNCTION_COS = 21;
constexpr int MATH_FUNCTION_SIN = 22;
constexpr int MATH_FUNCTION_EXP = 34;

// Makes invalid operation, division by zero and overflow trap (denormal operand, underflow
// and inexact stay silent), clears the pending exception flags and installs the handler.
void configureFloatingPoint();

// Code of the library function running on behalf of the analysis; 0 otherwise.
extern int activeMathFunction;

// The fault being reported: an exception code (129 and up) or a library error type (1-6).
extern int fpErrorCode;

// The exception code (129...139) for the platform's code of a floating-point signal
// (si_code), or 0 when the signal is none of the floating-point exceptions. A stack check
// of the x87 unit arrives as an invalid operation; `stackFault` tells it apart.
int floatingPointExceptionCode(int signalCode, bool stackFault = false);

// An error detected by a function of the mathematical library.
struct MathLibraryError {
    int type = 0;               // MATH_DOMAIN ... MATH_PLOSS
    const char* name = "";      // the function's name as the library knows it ("pow", ...)
    double arg1 = 0.0;
    double arg2 = 0.0;
    double retval = 0.0;        // the library's default result
};

// Called when a library function detects an error. Underflow and partial loss of precision
// are accepted (returns nonzero, the default result stands); any other error is reported
// and ends the run.
int mathLibraryErrorHook(MathLibraryError& error);

// Reports the fault in fpErrorCode (with the library function's name for a library error)
// as a MATH run-time error, which ends the run. A code outside the tables gets the general
// report of an unexpected floating-point exception. Returns only during the close-down.
void reportFloatingPointError();

// The library's power, cosine, sine and exponential, applied to double arguments; their
// own errors are reported as the run-time's MATH errors.
double mathPow(double base, double exponent);
double mathCos(double x);
double mathSin(double x);
double mathExp(double x);
