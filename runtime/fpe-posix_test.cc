// The POSIX floating-point layer: the signal codes, the trap setting at start-up, and the
// library wrappers with the traps in force.
#include "runtime/fpe.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <csignal>
#include <fenv.h>
#include <limits>
#include <string>

#include "arch_test.h"
#include "fault_mode_test.h"
#include "runtime/error.h"
#include "tests/fake_console.h"

namespace {

std::string mathReport(int number, const std::string& text) {
    return "\r\nrun-time error M" + std::to_string(number) + ": MATH\r\n- " + text + "\r\n";
}

// Keeps the test process's floating-point environment as it was.
class FloatingPointEnvironment {
public:
    FloatingPointEnvironment() { fegetenv(&saved_); }
    ~FloatingPointEnvironment() { fesetenv(&saved_); }

private:
    fenv_t saved_;
};

TEST(FloatingPointExceptionCode, MapsTheSignalCodes) {
    EXPECT_EQ(floatingPointExceptionCode(FPE_FLTINV), 129);
    EXPECT_EQ(floatingPointExceptionCode(FPE_FLTINV, true), 138);
    EXPECT_EQ(floatingPointExceptionCode(FPE_FLTDIV), 131);
    EXPECT_EQ(floatingPointExceptionCode(FPE_FLTOVF), 132);
    EXPECT_EQ(floatingPointExceptionCode(FPE_FLTUND), 133);
    EXPECT_EQ(floatingPointExceptionCode(FPE_FLTRES), 134);
    EXPECT_EQ(floatingPointExceptionCode(FPE_FLTSUB), 0);
    EXPECT_EQ(floatingPointExceptionCode(SI_USER), 0);
}


// The three traps are put in force where the unit can trap them (always on x86-64) and
// the build does not force flag mode; otherwise every exception is left masked.
TEST(ConfigureFloatingPoint, TrapsExactlyInvalidDivideByZeroAndOverflow) {
    if (!MODE_HAS_HARDWARE_FAULTS) GTEST_SKIP() << "a software-flag build enables no traps";
    FloatingPointEnvironment environment;
    struct sigaction previous;
    sigaction(SIGFPE, nullptr, &previous);
    feraiseexcept(FE_INEXACT);
    configureFloatingPoint();
    const bool flagMode = signalState.flagMode;
    signalState.flagMode = false;
    if (ARCH_TRAPS_DEPENDABLE) {
        EXPECT_EQ(flagMode, MODE_FORCES_FLAG_MODE);
    }
    EXPECT_EQ(fegetexcept(), flagMode ? 0 : FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    EXPECT_EQ(fetestexcept(FE_ALL_EXCEPT), 0);
    struct sigaction installed;
    sigaction(SIGFPE, nullptr, &installed);
    EXPECT_NE(installed.sa_flags & SA_SIGINFO, 0);
    fedisableexcept(FE_ALL_EXCEPT);
    sigaction(SIGFPE, &previous, nullptr);
}

// With the traps in force, underflow inside the library is accepted and no trap fires;
// the trap setting is in force again after the call.
TEST(MathWrappers, UnderflowIsSilentAndTrapsSurviveTheCall) {
    FakeRun run;
    FloatingPointEnvironment environment;
    if (feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW) == -1) GTEST_SKIP() << "no traps here";
    volatile double exp = mathExp(-1000.0);
    volatile double pow = mathPow(1e-200, 2.0);
    EXPECT_EQ(fegetexcept(), FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    fedisableexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(exp, 0.0);
    EXPECT_EQ(pow, 0.0);
    EXPECT_TRUE(run.console.err.empty());
}

// The same reports with the traps in force and in flag mode.
TEST(MathWrappers, LibraryErrorsAreReportedInBothModes) {
    const double infinity = std::numeric_limits<double>::infinity();
    struct Case {
        double (*call)(double);
        double argument;
        std::string expected;
    };
    const Case cases[] = {
        {mathExp, 1000.0, mathReport(6203, "exp: OVERFLOW error")},
        {mathCos, infinity, mathReport(6201, "cos: DOMAIN error")},
        {mathSin, -infinity, mathReport(6201, "sin: DOMAIN error")},
        {[](double x) { return mathPow(x, 0.5); }, -2.0, mathReport(6201, "**: DOMAIN error")},
        {[](double x) { return mathPow(x, -1.0); }, 0.0, mathReport(6202, "**: SING error")},
        {[](double x) { return mathPow(x, 400.0); }, 10.0, mathReport(6203, "**: OVERFLOW error")},
    };
    for (bool flagMode : {false, true}) {
        // A software-flag build never runs with the traps in force.
        if (!MODE_HAS_HARDWARE_FAULTS && !flagMode) continue;
        for (const Case& c : cases) {
            FakeRun run;
            FloatingPointEnvironment environment;
            feclearexcept(FE_ALL_EXCEPT);
            if (!flagMode) feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);  // where it can
            signalState.flagMode = flagMode;
            int status = run.scope.runToExit([&] { c.call(c.argument); });
            signalState.flagMode = false;
            fedisableexcept(FE_ALL_EXCEPT);
            EXPECT_EQ(status, 1) << c.expected << flagMode;
            EXPECT_EQ(run.console.err, c.expected) << flagMode;
            EXPECT_EQ(signalState.activeMathFunction, 0);
        }
    }
}

}  // namespace
