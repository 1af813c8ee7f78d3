// Floating-point traps through the real start-up: the fpe_driver writes a prompt and then
// performs one fault; a trapped fault ends the run with its report before anything that
// follows the fault is written. With LAMVIS2_DRIVER_DIR set, the cases through pipes run a
// driver built for another platform (see driverCommand).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "arch_test.h"
#include "fault_mode_test.h"
#include "tests/harness.h"

namespace {

const std::string PROMPT = "Enter value: ";

RunResult runFault(const std::string& fault, bool terminal = false) {
    setenv("FPE_DRIVER_FAULT", fault.c_str(), 1);
    RunResult result = terminal ? runWithPty({driverPath("fpe_driver")}, "")
                                : runWithPipes(driverCommand("fpe_driver"), "");
    unsetenv("FPE_DRIVER_FAULT");
    return result;
}

std::string mathReport(int number, const std::string& text) {
    return "\r\nrun-time error M" + std::to_string(number) + ": MATH\r\n- " + text + "\r\n";
}

TEST(FloatingPointProgram, TrappedFaultsEndTheRunWithTheirReport) {
    struct Case {
        const char* fault;
        int number;
        const char* text;
    };
    const Case cases[] = {
        {"divide", 6103, "floating-point error: divide by zero"},
        {"invalid", 6101, "floating-point error: invalid"},
        {"overflow", 6104, "floating-point error: overflow"},
        {"store", 6104, "floating-point error: overflow"},
        {"divide-then-invalid", 6103, "floating-point error: divide by zero"},
        {"overflow-then-invalid", 6104, "floating-point error: overflow"},
        {"exp-overflow", 6203, "exp: OVERFLOW error"},
        {"pow-domain", 6201, "**: DOMAIN error"},
        {"pow-sing", 6202, "**: SING error"},
        {"cos-domain", 6201, "cos: DOMAIN error"},
        {"sin-domain", 6201, "sin: DOMAIN error"},
        // The x87 unit's stack check is a hardware fault: a software-flag build, whose
        // arithmetic keeps its own flags, does not see it.
        {"stack", 6110, "floating-point error: stack overflow"},
    };
    for (const Case& c : cases) {
        if (std::string_view(c.fault) == "stack" && !(ARCH_HAS_STACK_CHECK && MODE_HAS_HARDWARE_FAULTS))
            continue;
        RunResult result = runFault(c.fault);
        EXPECT_FALSE(result.timedOut) << c.fault;
        EXPECT_EQ(result.status, 1) << c.fault;
        // The prompt's line is ended by the close-down; the line after the fault never comes.
        EXPECT_EQ(result.out, PROMPT + "\r\n") << c.fault;
        EXPECT_EQ(result.err, mathReport(c.number, c.text)) << c.fault;
    }
}

TEST(FloatingPointProgram, UnderflowIsSilentAndTheRunGoesOn) {
    struct Case {
        const char* fault;
        const char* line;
    };
    const Case cases[] = {
        {"underflow", "gradual underflow"},
        {"exp-underflow", "exp underflow accepted"},
    };
    for (const Case& c : cases) {
        RunResult result = runFault(c.fault);
        EXPECT_EQ(result.status, 0) << c.fault;
        EXPECT_EQ(result.out, PROMPT + "\r\n" + c.line + "\r\nafter the fault\r\n") << c.fault;
        EXPECT_EQ(result.err, "") << c.fault;
    }
}

TEST(FloatingPointProgram, ExceptionOutsideTheTableGetsTheGeneralReport) {
    RunResult result = runFault("unknown");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, PROMPT + "\r\n");
    // General layout: the number follows the letter F directly, then CR LF and "- ".
    const std::string head = "\r\nrun-time error F";
    ASSERT_GE(result.err.size(), head.size() + 10);
    EXPECT_EQ(result.err.substr(0, head.size()), head);
    EXPECT_EQ(result.err.substr(head.size() + 4, 4), "\r\n- ");
    EXPECT_EQ(result.err.substr(result.err.size() - 2), "\r\n");
}

TEST(FloatingPointProgram, ReportOnATerminal) {
    RunResult result = runFault("divide", true);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              PROMPT + mathReport(6103, "floating-point error: divide by zero") + "\r\n");
}

}  // namespace
