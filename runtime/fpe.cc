// Floating-point traps: invalid operation, division by zero and overflow stop the run with
// a MATH report at the point of the fault; underflow, denormals and inexact results keep
// the hardware's silent default. The library's power, cosine, sine and exponential run with
// the traps held, and their own errors are reported the same way.
#include "runtime/fpe.h"

#include <cfenv>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fenv.h>
#include <string.h>
#include <string_view>

#if defined(__linux__) && defined(__x86_64__)
#include <ucontext.h>
#endif

#include "runtime/error.h"

int activeMathFunction = 0;
int fpErrorCode = 0;

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

constexpr int TRAPPED_EXCEPTIONS = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

// Name of the library function whose error is being reported, at most 8 characters.
char functionName[9] = {};
int functionNameLength = 0;

void setFunctionName(const char* name) {
    if (std::strncmp(name, "pow", 3) == 0) name = "**";
    else if (std::strncmp(name, "fmod", 4) == 0) name = "mod";
    functionNameLength = static_cast<int>(::strnlen(name, sizeof functionName - 1));
    std::memcpy(functionName, name, static_cast<std::size_t>(functionNameLength));
    functionName[functionNameLength] = '\0';
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

#if defined(__linux__) && defined(__x86_64__)
constexpr unsigned X87_STACK_FAULT = 0x0040;   // status word: stack fault
constexpr unsigned MXCSR_FLAGS = 0x003F;       // exception flags
constexpr unsigned MXCSR_TRAP_MASKS = 0x0080 | 0x0200 | 0x0400;  // invalid, zero divide, overflow
constexpr unsigned X87_FLAGS = 0x80FF;         // busy, error summary, stack fault, flags
constexpr unsigned X87_TRAP_MASKS = 0x0001 | 0x0004 | 0x0008;
#endif

bool stackFaultIn(void* context) {
#if defined(__linux__) && defined(__x86_64__)
    auto* state = static_cast<ucontext_t*>(context);
    return state != nullptr && state->uc_mcontext.fpregs != nullptr &&
           (state->uc_mcontext.fpregs->swd & X87_STACK_FAULT) != 0;
#else
    (void)context;
    return false;
#endif
}

// Lets the interrupted instruction complete with the default result when the handler
// returns: an SSE instruction that trapped is executed again on return, so its exception
// must no longer trap; the pending flags are cleared.
void quietInterruptedArithmetic(void* context) {
#if defined(__linux__) && defined(__x86_64__)
    auto* state = static_cast<ucontext_t*>(context);
    if (state == nullptr || state->uc_mcontext.fpregs == nullptr) return;
    auto* fpu = state->uc_mcontext.fpregs;
    fpu->mxcsr = (fpu->mxcsr & ~MXCSR_FLAGS) | MXCSR_TRAP_MASKS;
    fpu->swd = static_cast<decltype(fpu->swd)>(fpu->swd & ~X87_FLAGS);
    fpu->cwd = static_cast<decltype(fpu->cwd)>(fpu->cwd | X87_TRAP_MASKS);
#else
    (void)context;
    std::feclearexcept(FE_ALL_EXCEPT);
#endif
}

void floatingPointSignalHandler(int, siginfo_t* info, void* context) {
    const int signalCode = info != nullptr ? info->si_code : 0;
    if (signalCode == FPE_INTDIV || signalCode == FPE_INTOVF) {
        // Integer faults are not floating-point exceptions: the instruction runs again on
        // return and the process ends by the signal's default action.
        std::signal(SIGFPE, SIG_DFL);
        return;
    }
    if (activeMathFunction == 0) {
        const int code = floatingPointExceptionCode(signalCode, stackFaultIn(context));
        if (code == 0) raiseRuntimeError(ErrorCode::FloatingPointUnknown, StatementKind::General);
        fpErrorCode = code;
        reportFloatingPointError();
    }
    // Back here only while a library function runs (it handles its own faults) or while
    // the close-down runs (the report did not end the run): the handler stays installed.
    quietInterruptedArithmetic(context);
}

int libraryErrorType(int raised) {
    if (raised & FE_INVALID) return MATH_DOMAIN;
    if (raised & FE_DIVBYZERO) return MATH_SING;
    if (raised & FE_OVERFLOW) return MATH_OVERFLOW;
    if (raised & FE_UNDERFLOW) return MATH_UNDERFLOW;
    return 0;
}

// Runs one library function with the traps held, so that its intermediate faults do not
// trap inside it, and reports what it raised through the library error hook.
template <typename Function>
double callLibrary(int functionCode, const char* name, double arg1, double arg2,
                   Function function) {
    std::fenv_t saved;
    std::feholdexcept(&saved);
    activeMathFunction = functionCode;
    volatile double result = function();
    activeMathFunction = 0;
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW);
    std::fesetenv(&saved);
    const int type = libraryErrorType(raised);
    if (type == 0) return result;
    MathLibraryError error;
    error.type = type;
    error.name = name;
    error.arg1 = arg1;
    error.arg2 = arg2;
    error.retval = result;
    mathLibraryErrorHook(error);
    return error.retval;
}

}  // namespace

int floatingPointExceptionCode(int signalCode, bool stackFault) {
    switch (signalCode) {
        case FPE_FLTINV: return stackFault ? FP_CODE_STACK_OVERFLOW : FP_CODE_INVALID;
        case FPE_FLTDIV: return FP_CODE_DIVIDE_BY_ZERO;
        case FPE_FLTOVF: return FP_CODE_OVERFLOW;
        case FPE_FLTUND: return FP_CODE_UNDERFLOW;
        case FPE_FLTRES: return FP_CODE_INEXACT;
        default: return 0;
    }
}

void configureFloatingPoint() {
    std::feclearexcept(FE_ALL_EXCEPT);
    ::fedisableexcept(FE_ALL_EXCEPT);
    ::feenableexcept(TRAPPED_EXCEPTIONS);

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = floatingPointSignalHandler;
    sigemptyset(&action.sa_mask);
    // The report ends the run from inside the handler, so the signal must not stay
    // blocked: a fault during the close-down reaches the handler again.
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigaction(SIGFPE, &action, nullptr);
    std::feclearexcept(FE_ALL_EXCEPT);
}

int mathLibraryErrorHook(MathLibraryError& error) {
    if (error.type == MATH_UNDERFLOW || error.type == MATH_PLOSS) return 1;
    fpErrorCode = error.type;
    setFunctionName(error.name != nullptr ? error.name : "");
    reportFloatingPointError();
    return 0;  // reached only during the close-down; the default result stands
}

void reportFloatingPointError() {
    MessageBuffer message;
    if (fpErrorCode >= 10) {
        for (const auto& entry : EXCEPTIONS) {
            if (entry.code != fpErrorCode) continue;
            message.append("floating-point error: ");
            message.append(entry.text);
            reportRuntimeError(entry.number, std::string_view(message.text, message.length),
                               StatementKind::Math);
            return;
        }
    } else if (fpErrorCode >= MATH_DOMAIN && fpErrorCode <= MATH_PLOSS) {
        message.append(functionName, static_cast<std::size_t>(functionNameLength));
        message.append(": ");
        message.append(LIBRARY_ERROR_TEXTS[fpErrorCode - 1]);
        message.append(" error");
        reportRuntimeError(6200 + fpErrorCode, std::string_view(message.text, message.length),
                           StatementKind::Math);
        return;
    }
    raiseRuntimeError(ErrorCode::FloatingPointUnknown, StatementKind::General);
}

double mathPow(double base, double exponent) {
    return callLibrary(MATH_FUNCTION_POW, "pow", base, exponent,
                       [=] { return std::pow(base, exponent); });
}

double mathCos(double x) {
    return callLibrary(MATH_FUNCTION_COS, "cos", x, 0.0, [=] { return std::cos(x); });
}

double mathSin(double x) {
    return callLibrary(MATH_FUNCTION_SIN, "sin", x, 0.0, [=] { return std::sin(x); });
}

double mathExp(double x) {
    return callLibrary(MATH_FUNCTION_EXP, "exp", x, 0.0, [=] { return std::exp(x); });
}
