// The sine and cosine of the C library: on POSIX systems it reduces large arguments exactly.
#include <cmath>

#include "runtime/trig.h"

double librarySin(double x) { return std::sin(x); }

double libraryCos(double x) { return std::cos(x); }
