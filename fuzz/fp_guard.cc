// The portable half of the floating-point guard: reading the flags where the traps are not
// taken over, and the report of a fault through the program's own report.
#include "fuzz/fp_guard.h"

#include <cfenv>

#include "runtime/error.h"
#include "runtime/fpe.h"

namespace {

constexpr int REPORTED_FLAGS = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

// The flags do not tell which fault came first; a division by zero or an overflow usually
// precedes the invalid operation that its infinity leads to.
int codeOfFlags(int raised) {
    if (raised & FE_DIVBYZERO) return FP_CODE_DIVIDE_BY_ZERO;
    if (raised & FE_OVERFLOW) return FP_CODE_OVERFLOW;
    if (raised & FE_INVALID) return FP_CODE_INVALID;
    return 0;
}

}  // namespace

FloatingPointGuard::FloatingPointGuard() { fpguard::saveHandling(); }

FloatingPointGuard::~FloatingPointGuard() {
    fpguard::restoreHandling();
    activeMathFunction = 0;
    fpErrorCode = 0;
}

void FloatingPointGuard::arm() {
    activeMathFunction = 0;
    fpErrorCode = 0;
    faults_ = 0;
    pending_ = 0;
    trapping_ = fpguard::takeOverTraps();
    if (!trapping_) {
        FloatingPointHold quiet;
        holdFloatingPoint(quiet);  // masks every trap, on every unit of the platform
    }
    std::feclearexcept(FE_ALL_EXCEPT);
}

int FloatingPointGuard::poll() {
    if (pending_ != 0) return pending_;
    int code = 0;
    if (trapping_) {
        code = fpguard::takeRecordedTrap();
    } else {
        code = codeOfFlags(std::fetestexcept(REPORTED_FLAGS));
        std::feclearexcept(REPORTED_FLAGS);
    }
    if (code != 0) {
        pending_ = code;
        ++faults_;
    }
    return pending_;
}

int FloatingPointGuard::faultsMet() {
    poll();
    return faults_;
}

void FloatingPointGuard::reportPendingFault() {
    const int code = poll();
    if (code == 0) return;
    pending_ = 0;
    // What the program's handler does at the fault, with the analysis' arithmetic as the
    // faulting code (no library function runs between console calls).
    if (code < 0) raiseRuntimeError(ErrorCode::FloatingPointUnknown, StatementKind::General);
    fpErrorCode = code;
    reportFloatingPointError();
}
