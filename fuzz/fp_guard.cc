// The portable half of the floating-point guard: the report of a recorded fault through the
// program's own report.
#include "fuzz/fp_guard.h"

#include <cfenv>

#include "runtime/error.h"
#include "runtime/fpe.h"

FloatingPointGuard::FloatingPointGuard() { fpguard::saveHandling(); }

FloatingPointGuard::~FloatingPointGuard() {
    fpguard::restoreHandling();
    signalState.activeMathFunction = 0;
    signalState.fpErrorCode = 0;
}

void FloatingPointGuard::arm() {
    signalState.activeMathFunction = 0;
    signalState.fpErrorCode = 0;
    faults_ = 0;
    pending_ = 0;
    trapping_ = fpguard::takeOverTraps();
    if (!trapping_) {
        // No trap may reach the program's handler: every trap is masked, and the program
        // finds the faults from the flags itself, as where its traps cannot be put in force.
        std::fenv_t quiet;
        std::feholdexcept(&quiet);
        signalState.flagMode = true;
    }
    std::feclearexcept(FE_ALL_EXCEPT);
}

int FloatingPointGuard::poll() {
    if (pending_ != 0) return pending_;
    const int code = trapping_ ? fpguard::takeRecordedTrap() : 0;
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
    signalState.fpErrorCode = code;
    reportFloatingPointError();
}
