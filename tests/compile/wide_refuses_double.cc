// Compiled twice by the tests: as it stands it must compile; with SLIP set to one of the
// ways a double could bypass the analysis' arithmetic type, it must not.
#include "analysis/rounding.h"

float stored(float x, double computedElsewhere) {
    Wide a = wide(x) * 2.0 + 1.0;  // constants convert
#if SLIP == 1
    a = a * computedElsewhere;     // a double known only at run time
#elif SLIP == 2
    double escaped = a;            // a Wide turned back into a double
    (void)escaped;
#elif SLIP == 3
    return static_cast<float>(a);  // a rounding that skips the check point
#elif SLIP == 4
    a = wide(x) * x;               // a float operand not widened through the type
#endif
    (void)computedElsewhere;
    return narrow(a);
}
