// The quick test of the hardware's fault flags on x86-64. The analysis' arithmetic runs on
// the SSE unit, so a value's check reads the SSE flags in place (the value is an input of
// the read, so its computation is complete first); the check without a value, made before
// every output statement and library call, reads the x87 unit's too (its stack check is
// raised there), so that no fault of either unit reaches the output. The flags tested:
// invalid 0x01, division by zero 0x04, overflow 0x08.
#pragma once

constexpr unsigned QUICK_FAULT_FLAGS = 0x0D;

inline bool hardwareFaultFlagsMayBeRaised(float value) {
    unsigned status;
    asm volatile("stmxcsr %0" : "=m"(status) : "x"(value));
    return (status & QUICK_FAULT_FLAGS) != 0;
}

inline bool hardwareFaultFlagsMayBeRaised(bool condition) {
    unsigned status;
    asm volatile("stmxcsr %0" : "=m"(status) : "r"(condition));
    return (status & QUICK_FAULT_FLAGS) != 0;
}

inline bool hardwareFaultFlagsMayBeRaised() {
    unsigned status;
    unsigned short x87Status;
    asm volatile("stmxcsr %0\n\tfnstsw %1" : "=m"(status), "=m"(x87Status) : : "memory");
    return ((status | x87Status) & QUICK_FAULT_FLAGS) != 0;
}
