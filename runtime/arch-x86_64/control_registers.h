// The x86-64 floating-point units' control and status registers: the SSE unit's control
// and status register (MXCSR) and the x87 unit's control and status words.
#pragma once

inline unsigned readMxcsr() {
    unsigned value = 0;
    asm volatile("stmxcsr %0" : "=m"(value));
    return value;
}

inline void writeMxcsr(unsigned value) { asm volatile("ldmxcsr %0" : : "m"(value)); }

inline unsigned readX87Control() {
    unsigned short value = 0;
    asm volatile("fnstcw %0" : "=m"(value));
    return value;
}

inline unsigned readX87Status() {
    unsigned short value = 0;
    asm volatile("fnstsw %0" : "=m"(value));
    return value;
}

// Clears the x87 flags first, so that loading a control word that unmasks them cannot
// make a pending flag trap.
inline void writeX87Control(unsigned value) {
    const auto word = static_cast<unsigned short>(value);
    asm volatile("fnclex\n\tfldcw %0" : : "m"(word));
}

// Clears the x87 unit's exception flags, stack check and summary bits with them.
inline void clearX87Exceptions() { asm volatile("fnclex"); }
