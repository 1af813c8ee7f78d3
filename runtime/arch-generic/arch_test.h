// What the tests know of a processor in general.
#pragma once

// Whether the unit traps when the traps are enabled is not known.
inline constexpr bool ARCH_TRAPS_DEPENDABLE = false;
// No stack check: raiseStackCheck does nothing.
inline constexpr bool ARCH_HAS_STACK_CHECK = false;

inline void raiseStackCheck() {}
