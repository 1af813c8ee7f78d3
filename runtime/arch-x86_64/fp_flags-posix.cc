// The status flags on x86-64 POSIX: the C library's interface, and the x87 status word for
// the stack check, which the interface does not name, and for clearing the whole word.
#include <cfenv>

#include "runtime/arch-x86_64/control_registers.h"
#include "runtime/fpe.h"
#include "runtime/fpe-posix.h"

int raisedFloatingPointFlags() {
    const unsigned status = readX87Status();
    const int raised = std::fetestexcept(FE_ALL_EXCEPT);
    const bool stackCheck = (raised & FE_INVALID) != 0 && (status & 0x0040) != 0;
    return runtimeFlagsOf(raised) | (stackCheck ? FP_FLAG_STACK_FAULT : 0);
}

void clearFloatingPointFlags() {
    std::feclearexcept(FE_ALL_EXCEPT);
    clearX87Exceptions();  // the status word's stack check and summary bits too
}
