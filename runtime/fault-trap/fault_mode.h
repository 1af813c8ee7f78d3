// Fault detection by the processor's traps: invalid operation, division by zero and
// overflow trap where they happen (the platform layer, runtime/fpe-posix.cc, -win32.cc).
// Where the start-up finds the traps cannot be put in force, the exception flags are read at
// the check points instead.
#pragma once

#include "runtime/hardware_arithmetic.h"

using FaultArithmetic = HardwareArithmetic;
