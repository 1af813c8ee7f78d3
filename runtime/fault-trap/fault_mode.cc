// The trap build's start-up: the traps are put in force, and only where they cannot be
// are the faults found from the hardware's flags at the check points (flag mode).
#include "runtime/fpe.h"

void configureFloatingPoint() {
    clearFloatingPointFlags();
    const bool trapsInForce = enableFloatingPointTraps();
    signalState.flagMode = !trapsInForce;
    clearFloatingPointFlags();
}
