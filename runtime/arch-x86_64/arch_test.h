// What the tests know of x86-64.
#pragma once

// The unit traps all three faults wherever the traps are enabled.
inline constexpr bool ARCH_TRAPS_DEPENDABLE = true;
// The x87 unit has a stack check, which raiseStackCheck makes happen.
inline constexpr bool ARCH_HAS_STACK_CHECK = true;

// Nine loads overfill the eight registers of the x87 stack: a stack check.
inline void raiseStackCheck() {
    for (int i = 0; i < 9; ++i) asm volatile("fld1");
    asm volatile("fwait");
}
