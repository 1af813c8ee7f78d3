// The mathematical library on POSIX systems: the C library's functions as they are (they
// reduce large trigonometric arguments exactly and raise the standard's flags).
#include "runtime/mathlib.h"

#include <cmath>

double libraryPow(double base, double exponent) { return std::pow(base, exponent); }

double libraryCos(double x) { return std::cos(x); }

double librarySin(double x) { return std::sin(x); }

double libraryExp(double x) { return std::exp(x); }
