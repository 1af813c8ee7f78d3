// The floating-point guard on Windows: the traps are not taken over; the guard masks them
// and reads the flags. The environment is kept through the run-time's own hold, which
// covers the SSE unit as well as the x87 unit (the C run-time's fegetenv and fesetenv do
// not).
#include "fuzz/fp_guard.h"
#include "runtime/fpe.h"

namespace {

FloatingPointHold savedEnvironment;

}  // namespace

namespace fpguard {

void saveHandling() { holdFloatingPoint(savedEnvironment); }

void restoreHandling() { restoreFloatingPoint(savedEnvironment); }

bool takeOverTraps() { return false; }

int takeRecordedTrap() { return 0; }

}  // namespace fpguard
