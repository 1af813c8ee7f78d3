// What the tests expect of the software-flag build.
#pragma once

// The faults are the software's flags: no trap is enabled, and a hardware fault of its own
// (the x87 unit's stack check) is not seen.
inline constexpr bool MODE_HAS_HARDWARE_FAULTS = false;
// Whether the start-up leaves flag mode on even where the traps could be put in force.
inline constexpr bool MODE_FORCES_FLAG_MODE = true;
