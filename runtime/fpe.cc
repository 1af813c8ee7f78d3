// Placeholder until the floating-point traps land.
#include "runtime/fpe.h"
#include <cmath>

int activeMathFunction = 0;
void configureFloatingPoint() {}
double mathPow(double b, double e) { return std::pow(b, e); }
double mathCos(double x) { return std::cos(x); }
double mathSin(double x) { return std::sin(x); }
double mathExp(double x) { return std::exp(x); }
