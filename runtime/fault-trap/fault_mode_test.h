// What the tests expect of the trap build.
#pragma once

// The faults are the hardware's: its flags, its traps, the x87 unit's stack check.
inline constexpr bool MODE_HAS_HARDWARE_FAULTS = true;
// Whether the start-up leaves flag mode on even where the traps could be put in force.
inline constexpr bool MODE_FORCES_FLAG_MODE = false;
