// Floating-point traps, their reports, and the wrappers of the mathematical library.
//
// runtime/fpe.cc holds what every platform and fault mode shares: the tables, the reports
// and the library wrappers. The build's fault mode implements the start-up, the flags the
// check points read and the guard of a library call (declared under "Fault mode" below). A
// platform file (runtime/fpe-posix.cc with its processor's part, runtime/fpe-win32.cc,
// runtime/fpe-wasi.cc, chosen by the build) implements the small layer declared at the end:
// enabling the traps and delivering a trapped fault, holding the environment around a
// library call, and reading and clearing the exception flags.
#pragma once

#include <cfenv>
#include <cstdint>

#include "fault_mode.h"
#include "runtime/fpflags.h"
#include "runtime/signal_state.h"

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

// Codes of signalState.activeMathFunction for the library functions the analysis calls.
constexpr int MATH_FUNCTION_POW = 36;
constexpr int MATH_FUNCTION_COS = 21;
constexpr int MATH_FUNCTION_SIN = 22;
constexpr int MATH_FUNCTION_EXP = 34;

// Makes invalid operation, division by zero and overflow trap (denormal operand, underflow
// and inexact stay silent), clears the pending exception flags and installs the handler.
// Where the traps cannot be put in force (or the build asks for it), the faults are found
// from the status flags instead: flag mode, below. A software-flag build never enables the
// traps: its flags are the software's.
void configureFloatingPoint();

// signalState.activeMathFunction: the code of the library function running on behalf of
// the analysis; 0 otherwise. signalState.fpErrorCode: the fault being reported, an
// exception code (129 and up) or a library error type (1-6).

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

// Reports the fault in signalState.fpErrorCode (with the library function's name for a library error)
// as a MATH run-time error, which ends the run. A code outside the tables gets the general
// report of an unexpected floating-point exception. Returns only during the close-down.
void reportFloatingPointError();

// The library's power, cosine, sine and exponential, applied to double arguments; their
// own errors are reported as the run-time's MATH errors.
double mathPow(double base, double exponent);
double mathCos(double x);
double mathSin(double x);
double mathExp(double x);

// ---- Flag mode ----
//
// Without traps the same three exceptions are detected from the exception flags at check
// points: every store of a computed value (the analysis' rounding to float), every
// comparison that decides the path of the run, the entry of every library wrapper and the
// start of every output statement. Every value the analysis computes ends at one of them,
// so the flags found at a check point come from the first faulting expression, and the
// fault is reported exactly as the trap would have reported it, before anything after that
// expression is written. The flags are the hardware's, or, in a software-flag build, those
// the analysis' arithmetic keeps itself (runtime/fpflags.h).

// signalState.flagMode is true when configureFloatingPoint found the traps not in force,
// and always in a software-flag build; false otherwise (and before start-up, so that code
// run without the start-up checks nothing).

// Reports a raised invalid operation, division by zero or overflow as the trap would have,
// and ends the run. Several raised together come from one expression, whose first fault
// the trap would have reported: an infinity made by a division by zero or an overflow
// turns into an invalid operation only in a later operation, and a store's overflow is
// the expression's last operation; so division by zero comes first, then overflow, then
// invalid. Returns at once when none is raised, and after the report while the close-down
// runs (the flags are then cleared).
void reportRaisedFloatingPointFault();


// Check points that take the value just computed, so that its computation is complete
// before the flags are read: each returns its argument. The analysis reaches them through
// analysis/rounding.h.
float checkedFloatingPointResult(float value);
bool checkedFloatingPointResult(bool condition);

// The quick test in front of those check points: false when no fault flag can be raised,
// so that the full test is made only when one is. The build's fault mode (fault_mode.h)
// gives it: a test of the software flags, or of the hardware's where it can be made cheaply.
template <typename... Value>
inline bool faultFlagsMayBeRaised(Value... value) {
    return FaultArithmetic::flagsMayBeRaised(value...);
}

// A check point. Costs one test of signalState.flagMode where the traps are in force.
inline void checkFloatingPointFault() {
    if (signalState.flagMode && faultFlagsMayBeRaised()) reportRaisedFloatingPointFault();
}

// ---- Fault mode: implemented once per mode ----
//
// runtime/fault-<mode>/fault_mode.cc gives configureFloatingPoint; the two modes that read
// the hardware's flags (trap and flags) share runtime/hardware_faults.cc for the rest, and
// a software-flag build has it all in its own file.

// The fault flags the check points read: the hardware's, or the software's.
int raisedFaultFlags();

// Clears the software's flags and the hardware's.
void clearFaultFlags();

// A library function the wrappers call: its code for signalState.activeMathFunction, its
// name as the library knows it, the function, and its error as classified from its
// arguments and result (where the flags are the software's and cannot tell it).
struct LibraryFunction {
    int code;
    const char* name;
    double (*call)(double arg1, double arg2);
    int (*classify)(double arg1, double arg2, double result);
};

struct LibraryResult {
    double result;
    int errorType;  // MATH_DOMAIN ... MATH_PLOSS, or 0
};

// Runs one library function and tells its error. With the hardware's flags it runs with
// the traps held, so that its intermediate faults do not trap inside it, and its error is
// what it raised; with the software's, its error is classified.
LibraryResult runLibraryFunction(const LibraryFunction& function, double arg1, double arg2);

// ---- Platform layer: implemented once per platform ----

// Tries to make invalid operation, division by zero and overflow trap, with denormal
// operand, underflow and inexact left silent, and installs the handler that turns a trapped
// fault into its report: with signalState.activeMathFunction 0 it sets signalState.fpErrorCode to the exception
// code (129 and up) and calls reportFloatingPointError; otherwise, and when the report
// returns during the close-down, it lets the arithmetic go on with the default result.
// Returns true only when all three traps are really in force (read back from the unit);
// otherwise every exception is left masked.
bool enableFloatingPointTraps();

// The exception code (129...139) for the platform's code of a trapped floating-point fault
// (the signal's si_code on POSIX, the exception code on Windows), or 0 when it is none of
// the floating-point exceptions. A stack check of the x87 unit arrives as an invalid
// operation; `stackFault` tells it apart.
int floatingPointExceptionCode(int platformCode, bool stackFault = false);

// The environment saved around a library call or an input conversion: every control and
// status register of the platform's floating-point units. `environment` is the C library's;
// `registers` is room for a platform that keeps a unit's words itself (such as the x87
// control and status words and the SSE control register on Windows).
struct FloatingPointHold {
    std::fenv_t environment;
    std::uint32_t registers[4];
};

// Saves the whole environment into `saved`, masks every trap and clears the flags.
void holdFloatingPoint(FloatingPointHold& saved);
// Puts back the environment that holdFloatingPoint saved: trap masks and flags as they were.
void restoreFloatingPoint(const FloatingPointHold& saved);

// The exception flags the hardware has raised, as a set of FP_FLAG_INVALID,
// FP_FLAG_DIVIDE_BY_ZERO, FP_FLAG_OVERFLOW, FP_FLAG_UNDERFLOW and FP_FLAG_INEXACT, with
// FP_FLAG_STACK_FAULT (0 where the machine keeps no flags).
int raisedFloatingPointFlags();
// Clears every exception flag (on the x87 unit the whole status word, stack check included).
void clearFloatingPointFlags();
