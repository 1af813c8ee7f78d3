// The Windows floating-point layer: the structured exception codes, the trap setting of
// both units, and the hold around a library call, which must cover the SSE unit as well.
#include "runtime/fpe.h"

#include <gtest/gtest.h>

#include <cfenv>

#include <windows.h>

#include "runtime/arch-x86_64/control_registers.h"

namespace {

// Keeps the test process's floating-point environment as it was.
class FloatingPointEnvironment {
public:
    FloatingPointEnvironment() : csr_(readMxcsr()), control_(static_cast<unsigned short>(readX87Control())) {}
    ~FloatingPointEnvironment() {
        writeX87Control(control_);
        writeMxcsr(csr_ & ~0x3Fu);
    }

private:
    unsigned csr_;
    unsigned short control_;
};

TEST(FloatingPointExceptionCode, MapsTheStructuredExceptions) {
    struct Case {
        DWORD exception;
        bool stackFault;
        int code;
    };
    const Case cases[] = {
        {EXCEPTION_FLT_INVALID_OPERATION, false, 129}, {EXCEPTION_FLT_INVALID_OPERATION, true, 138},
        {EXCEPTION_FLT_DENORMAL_OPERAND, false, 130},  {EXCEPTION_FLT_DIVIDE_BY_ZERO, false, 131},
        {EXCEPTION_FLT_OVERFLOW, false, 132},          {EXCEPTION_FLT_UNDERFLOW, false, 133},
        {EXCEPTION_FLT_INEXACT_RESULT, false, 134},    {EXCEPTION_FLT_STACK_CHECK, false, 138},
        {EXCEPTION_INT_DIVIDE_BY_ZERO, false, 0},      {EXCEPTION_ACCESS_VIOLATION, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(floatingPointExceptionCode(static_cast<int>(c.exception), c.stackFault), c.code)
            << std::hex << c.exception;
}

TEST(EnableFloatingPointTraps, SetsBothUnits) {
    FloatingPointEnvironment environment;
    EXPECT_TRUE(enableFloatingPointTraps());
    // x87: invalid, zero divide and overflow unmasked, denormal, underflow and precision
    // masked (FP_TRAP_SETTING; the unit keeps its reserved bit 7 clear whatever is loaded).
    EXPECT_EQ(readX87Control() & 0x3F, 0x32u);
    // SSE: the same three unmasked, denormal, underflow and precision masked.
    EXPECT_EQ(readMxcsr() & 0x1F80, 0x0100u | 0x0800u | 0x1000u);
}

// Division by zero on either unit inside a hold raises its flag without trapping; the
// restore puts the trap setting back on both units.
TEST(HoldFloatingPoint, HoldsTheTrapsOfBothUnits) {
    FloatingPointEnvironment environment;
    ASSERT_TRUE(enableFloatingPointTraps());
    clearFloatingPointFlags();
    const unsigned csrBefore = readMxcsr();
    const unsigned controlBefore = readX87Control();

    FloatingPointHold saved;
    holdFloatingPoint(saved);
    volatile double zero = 0.0;
    volatile double sse = 1.0 / zero;
    EXPECT_NE(raisedFloatingPointFlags() & FP_FLAG_DIVIDE_BY_ZERO, 0);
    clearFloatingPointFlags();
    volatile long double extendedZero = 0.0L;
    volatile long double x87 = 1.0L / extendedZero;
    EXPECT_NE(raisedFloatingPointFlags() & FP_FLAG_DIVIDE_BY_ZERO, 0);
    restoreFloatingPoint(saved);
    (void)sse;
    (void)x87;

    EXPECT_EQ(readMxcsr(), csrBefore);
    EXPECT_EQ(readX87Control(), controlBefore);
    EXPECT_EQ(raisedFloatingPointFlags() & FP_FAULT_FLAGS, 0);
}

}  // namespace
