// Test driver for the floating-point traps: after the real start-up it writes a prompt and
// then performs the fault named by its argument (or by FPE_DRIVER_FAULT). A trapped fault must end the run with its
// report before the line that follows the fault is written.
#include <cfloat>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "analysis/rounding.h"
#include "arch_test.h"
#include "consoleio/output.h"
#include "runtime/error.h"
#include "runtime/fpe.h"
#include "app/startup.h"
#include "tests/drivers/driver_output.h"

namespace {

// Operands the compiler cannot see through, so the faulting operation happens at run time.
// The faults are made by the analysis' own arithmetic, so that each mode of finding them
// (traps, hardware flags, software flags) is exercised.
volatile float zeroValue = 0.0f;
volatile float oneValue = 1.0f;
volatile float largeExponentValue = 1000.0f;
volatile float negativeBaseValue = -8.0f;
volatile float infinityValue = std::numeric_limits<float>::infinity();
volatile float stored = 0.0f;

}  // namespace

int main(int argc, char** argv) {
    RunTime run;
    startRuntime(run);
    writeLine(run.console, "Enter value: ");
    // The fault comes from the argument, or from FPE_DRIVER_FAULT when there is none.
    const char* fault = argc > 1 ? argv[1] : std::getenv("FPE_DRIVER_FAULT");
    if (fault == nullptr) fault = "";

    const Wide zero = wide(zeroValue);
    const Wide one = wide(oneValue);
    const Wide huge = one * 1.0e300;
    const Wide tiny = one * 1.0e-300;
    if (std::strcmp(fault, "divide") == 0) {
        stored = rounded(one / zero);
    } else if (std::strcmp(fault, "invalid") == 0) {
        stored = rounded(zero / zero);
    } else if (std::strcmp(fault, "overflow") == 0) {
        stored = rounded(huge * huge);
    } else if (std::strcmp(fault, "divide-then-invalid") == 0) {
        // The infinity of the division becomes an invalid operation in the product.
        stored = rounded(one / zero * zero);
    } else if (std::strcmp(fault, "overflow-then-invalid") == 0) {
        stored = rounded(huge * huge - huge * huge);
    } else if (std::strcmp(fault, "store") == 0) {
        // Fine in double, beyond the range of the single-precision destination.
        stored = narrow(huge * tiny * 1.0e40);
    } else if (std::strcmp(fault, "underflow") == 0) {
        const Wide product = tiny * tiny;                 // below the double range
        stored = narrow(one * 1.0e-40);                   // below the float range
        const float denormal = stored;
        // Gradual underflow: the double product is 0, the float a nonzero denormal.
        writeLine(run.console, product == 0.0 && denormal > 0.0f && denormal < FLT_MIN ? "gradual underflow"
                                                                         : "flushed");
    } else if (std::strcmp(fault, "exp-overflow") == 0) {
        stored = rounded(exp(wide(largeExponentValue)));
    } else if (std::strcmp(fault, "exp-underflow") == 0) {
        const Wide result = exp(-wide(largeExponentValue));
        writeLine(run.console, result == 0.0 ? "exp underflow accepted" : "exp underflow wrong");
    } else if (std::strcmp(fault, "pow-domain") == 0) {
        stored = rounded(pow(wide(negativeBaseValue), one / 3.0));
    } else if (std::strcmp(fault, "pow-sing") == 0) {
        stored = rounded(pow(zero, -one));
    } else if (std::strcmp(fault, "cos-domain") == 0) {
        stored = rounded(cos(wide(infinityValue)));
    } else if (std::strcmp(fault, "sin-domain") == 0) {
        stored = rounded(sin(wide(infinityValue)));
    } else if (std::strcmp(fault, "stack") == 0) {
        raiseStackCheck();  // nothing where the processor has no stack check
    } else if (std::strcmp(fault, "unknown") == 0) {
        std::raise(SIGFPE);
    }
    writeLine(run.console, "after the fault");
    endRun(run.errors, 0);
}
