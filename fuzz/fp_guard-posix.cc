// The floating-point guard on POSIX: the environment and the signal's handling kept and put
// back, and the recorded trap; whether the traps can be taken over is the architecture's
// part (fuzz/arch-<arch>/).
#include <cfenv>
#include <csignal>

#include "fuzz/fp_guard.h"
#include "fuzz/fp_guard-posix.h"

namespace {

std::fenv_t savedEnvironment;
struct sigaction savedAction;

}  // namespace

namespace fpguard {

volatile sig_atomic_t recordedTrapCode = 0;

void saveHandling() {
    std::fegetenv(&savedEnvironment);
    sigaction(SIGFPE, nullptr, &savedAction);
    recordedTrapCode = 0;
}

void restoreHandling() {
    sigaction(SIGFPE, &savedAction, nullptr);
    std::fesetenv(&savedEnvironment);
    recordedTrapCode = 0;
}

int takeRecordedTrap() {
    const int code = recordedTrapCode;
    recordedTrapCode = 0;
    return code;
}

}  // namespace fpguard
