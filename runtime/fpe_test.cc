#include "runtime/fpe.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <string>

#include "analysis/rounding.h"
#include "runtime/error.h"
#include "tests/fake_console.h"

namespace {

// The report layout of a MATH error: an empty line, the number line, then "- " and the text.
std::string mathReport(int number, const std::string& text) {
    return "\r\nrun-time error M" + std::to_string(number) + ": MATH\r\n- " + text + "\r\n";
}

std::string generalReport(ErrorCode code) {
    return "\r\nrun-time error F" + std::to_string(6000 + messageNumber(code)) + "\r\n- " +
           messageText(code) + "\r\n";
}

TEST(FloatingPointReport, ExceptionCodesGiveTheirTextAndNumber) {
    struct Case {
        int code;
        int number;
        const char* text;
    };
    const Case cases[] = {
        {129, 6101, "invalid"},       {130, 6102, "denormal"},
        {131, 6103, "divide by zero"}, {132, 6104, "overflow"},
        {133, 6105, "underflow"},     {134, 6106, "inexact"},
        {136, 6108, "square root"},   {138, 6110, "stack overflow"},
        {139, 6111, "stack underflow"},
    };
    for (const Case& c : cases) {
        FakeRun run;
        signalState.fpErrorCode = c.code;
        EXPECT_EQ(run.scope.runToExit([&] { reportFloatingPointError(); }), 1) << c.code;
        EXPECT_EQ(run.console.err, mathReport(c.number, std::string("floating-point error: ") + c.text))
            << c.code;
    }
}

TEST(FloatingPointReport, CodesOutsideTheTablesGetTheGeneralReport) {
    for (int code : {0, 7, 128, 135, 137, 140, 200}) {
        FakeRun run;
        signalState.fpErrorCode = code;
        EXPECT_EQ(run.scope.runToExit([&] { reportFloatingPointError(); }), 1) << code;
        EXPECT_EQ(run.console.err, generalReport(ErrorCode::FloatingPointUnknown)) << code;
    }
}

TEST(FloatingPointReport, OpenConsoleLineGetsItsLineEndAfterTheReport) {
    FakeRun run;
    run.scope.io.units.output().lineOpen = true;
    signalState.fpErrorCode = 131;
    EXPECT_EQ(run.scope.runToExit([&] { reportFloatingPointError(); }), 1);
    EXPECT_EQ(run.console.out, "\r\n");
}

TEST(MathLibraryErrorHook, ReportsOrAcceptsByType) {
    struct Case {
        int type;
        const char* name;
        std::string expected;  // empty: accepted silently
    };
    const Case cases[] = {
        {MATH_DOMAIN, "pow", mathReport(6201, "**: DOMAIN error")},
        {MATH_SING, "powf", mathReport(6202, "**: SING error")},
        {MATH_OVERFLOW, "exp", mathReport(6203, "exp: OVERFLOW error")},
        {MATH_TLOSS, "cos", mathReport(6205, "cos: TLOSS error")},
        {MATH_DOMAIN, "sin", mathReport(6201, "sin: DOMAIN error")},
        {MATH_DOMAIN, "fmod", mathReport(6201, "mod: DOMAIN error")},
        {MATH_OVERFLOW, "longername", mathReport(6203, "longerna: OVERFLOW error")},
        {MATH_UNDERFLOW, "exp", ""},
        {MATH_PLOSS, "cos", ""},
    };
    for (const Case& c : cases) {
        FakeRun run;
        MathLibraryError error;
        error.type = c.type;
        error.name = c.name;
        int accepted = -1;
        int status = run.scope.runToExit([&] { accepted = mathLibraryErrorHook(error); });
        EXPECT_EQ(run.console.err, c.expected) << c.name << ' ' << c.type;
        if (c.expected.empty()) {
            EXPECT_NE(accepted, 0);
            EXPECT_EQ(status, 0);
        } else {
            EXPECT_EQ(status, 1);
        }
    }
}

// The library's results pass through unchanged when it raises nothing worth reporting.
TEST(MathWrappers, ReturnTheLibraryResults) {
    FakeRun run;
    const volatile double third = 1.0 / 3.0;
    EXPECT_EQ(mathPow(2.5, 3.0), std::pow(2.5, 3.0));
    EXPECT_EQ(mathPow(9.0, third), std::pow(9.0, third));
    EXPECT_EQ(mathCos(0.7), std::cos(0.7));
    EXPECT_EQ(mathSin(0.7), std::sin(0.7));
    EXPECT_EQ(mathExp(-2.0), std::exp(-2.0));
    EXPECT_EQ(signalState.activeMathFunction, 0);
    EXPECT_TRUE(run.console.err.empty());
}

// Flag mode: the faults of an expression, found at the next check point, give the report
// the trap would have given at the expression's first fault. Where one expression raises
// several flags, its division by zero or overflow came before the invalid operation made
// from the infinity.
// The expressions are the analysis' own arithmetic, so that the flags are the hardware's or
// the software's as the build keeps them.
volatile float zeroValue = 0.0f;
volatile float oneValue = 1.0f;
volatile float stored = 0.0f;
Wide zero() { return wide(zeroValue); }
Wide one() { return wide(oneValue); }
Wide huge() { return one() * 1.0e300; }
Wide tiny() { return one() * 1.0e-300; }

void clearAllFlags() {
    std::feclearexcept(FE_ALL_EXCEPT);
    signalState.softwareFlags = 0;
}

TEST(FlagMode, FirstFaultOfTheExpressionIsReported) {
    struct Case {
        const char* name;
        void (*expression)();
        int number;  // 0: no report, the run goes on
        const char* text;
    };
    const Case cases[] = {
        {"1 / 0", [] { stored = rounded(one() / zero()); }, 6103, "divide by zero"},
        {"0 / 0", [] { stored = rounded(zero() / zero()); }, 6101, "invalid"},
        {"huge * huge", [] { stored = rounded(huge() * huge()); }, 6104, "overflow"},
        {"store beyond float", [] { stored = rounded(huge() * tiny() * 1.0e39); }, 6104, "overflow"},
        {"1 / 0 - 1 / 0", [] { stored = rounded(one() / zero() - one() / zero()); }, 6103,
         "divide by zero"},
        {"(1 / 0) * 0", [] { stored = rounded(one() / zero() * zero()); }, 6103, "divide by zero"},
        {"huge * huge - huge * huge", [] { stored = rounded(huge() * huge() - huge() * huge()); },
         6104, "overflow"},
        {"(huge * huge) * 0", [] { stored = rounded(huge() * huge() * zero()); }, 6104, "overflow"},
        {"tiny * tiny", [] { stored = rounded(tiny() * tiny()); }, 0, ""},
        {"store below float", [] { stored = rounded(tiny() * 1.0e260); }, 0, ""},
        {"1 / 3", [] { stored = rounded(one() / 3.0); }, 0, ""},
    };
    for (const Case& c : cases) {
        FakeRun run;
        clearAllFlags();
        signalState.flagMode = true;
        const int status = run.scope.runToExit([&] {
            c.expression();
            checkFloatingPointFault();
        });
        signalState.flagMode = false;
        clearAllFlags();
        EXPECT_EQ(status, c.number == 0 ? 0 : 1) << c.name;
        EXPECT_EQ(run.console.err,
                  c.number == 0 ? "" : mathReport(c.number, std::string("floating-point error: ") + c.text))
            << c.name;
    }
}

// A fault pending when a library function is called is the first: it is reported, not
// the library's own error, and not at all when checks are off (the traps' mode).
TEST(FlagMode, PendingFaultComesBeforeTheLibraryCall) {
    for (bool flagMode : {true, false}) {
        FakeRun run;
        clearAllFlags();
        std::feraiseexcept(FE_DIVBYZERO);
        raiseSoftwareFlags(FP_FLAG_DIVIDE_BY_ZERO);
        signalState.flagMode = flagMode;
        const int status = run.scope.runToExit([&] { mathExp(1000.0); });
        signalState.flagMode = false;
        clearAllFlags();
        EXPECT_EQ(status, 1);
        EXPECT_EQ(run.console.err, flagMode ? mathReport(6103, "floating-point error: divide by zero")
                                        : mathReport(6203, "exp: OVERFLOW error"));
    }
}

}  // namespace
