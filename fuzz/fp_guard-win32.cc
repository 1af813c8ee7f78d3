// The floating-point guard on Windows: the traps are not taken over; the guard masks them
// and reads the flags.
#include <cfenv>

#include "fuzz/fp_guard.h"

namespace {

std::fenv_t savedEnvironment;

}  // namespace

namespace fpguard {

void saveHandling() { std::fegetenv(&savedEnvironment); }

void restoreHandling() { std::fesetenv(&savedEnvironment); }

bool takeOverTraps() { return false; }

int takeRecordedTrap() { return 0; }

}  // namespace fpguard
