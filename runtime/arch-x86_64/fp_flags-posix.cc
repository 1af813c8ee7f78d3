// The status flags on x86-64 POSIX: the C library's interface, and the x87 status word for
// the stack check, which the interface does not name, and for clearing the whole word.
#include <cfenv>

#include "runtime/fpe.h"
#include "runtime/fpe-posix.h"

int raisedFloatingPointFlags() {
    unsigned short status = 0;
    asm volatile("fnstsw %0" : "=m"(status));
    const int raised = std::fetestexcept(FE_ALL_EXCEPT);
    const bool stackCheck = (raised & FE_INVALID) != 0 && (status & 0x0040) != 0;
    return runtimeFlagsOf(raised) | (stackCheck ? FP_FLAG_STACK_FAULT : 0);
}

void clearFloatingPointFlags() {
    std::feclearexcept(FE_ALL_EXCEPT);
    asm volatile("fnclex");  // the x87 status word's stack check and summary bits too
}
