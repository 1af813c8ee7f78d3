// Fault detection from the hardware's exception flags at the check points, even where the
// traps would work (so that both ways can be run and compared on one machine). The handler
// is installed all the same, for a floating-point signal raised outright.
#pragma once

#include "runtime/hardware_arithmetic.h"

using FaultArithmetic = HardwareArithmetic;
