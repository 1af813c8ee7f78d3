// The status flags on POSIX through the C library's interface alone.
#include <cfenv>

#include "runtime/fpe.h"
#include "runtime/fpe-posix.h"

int raisedFloatingPointFlags() { return runtimeFlagsOf(std::fetestexcept(FE_ALL_EXCEPT)); }

void clearFloatingPointFlags() { std::feclearexcept(FE_ALL_EXCEPT); }
