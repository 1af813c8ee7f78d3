// What the POSIX half of the floating-point guard shares with its architecture's part
// (fuzz/arch-<arch>/fp_guard_traps*.cc, which defines fpguard::takeOverTraps).
#pragma once

#include <csignal>

namespace fpguard {
// The exception code of the first trap recorded since it was last taken (0: none, -1: a
// kind the program has no code for).
extern volatile sig_atomic_t recordedTrapCode;
}  // namespace fpguard
