// The flag build's start-up: the faults are found from the hardware's flags at the check
// points even where the traps would work.
#include "runtime/fpe.h"

void configureFloatingPoint() {
    clearFloatingPointFlags();
    if (enableFloatingPointTraps()) {
        // Masks every trap again; the handler stays for a signal raised outright.
        FloatingPointHold discarded;
        holdFloatingPoint(discarded);
    }
    signalState.flagMode = true;
    clearFloatingPointFlags();
}
