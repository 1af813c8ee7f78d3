// The floating-point platform layer of WebAssembly: the machine has neither exception
// traps nor exception flags, and its rounding is always to nearest. The analysis' arithmetic
// keeps the flags itself (runtime/fpflags.h), so there is nothing to enable, hold or read.
#include "runtime/fpe.h"

bool enableFloatingPointTraps() { return false; }

int floatingPointExceptionCode(int, bool) { return 0; }

void holdFloatingPoint(FloatingPointHold&) {}

void restoreFloatingPoint(const FloatingPointHold&) {}

int raisedFloatingPointFlags() { return 0; }

void clearFloatingPointFlags() {}
