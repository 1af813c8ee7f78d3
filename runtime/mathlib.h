// The functions of the mathematical library that the analysis uses, with the results and the
// exception flags of a library that follows the C standard's rules on every platform. The
// run-time's wrappers (mathPow, mathCos, mathSin, mathExp) call them with the traps held
// and read the flags they raise.
#pragma once

double libraryPow(double base, double exponent);
double libraryCos(double x);
double librarySin(double x);
double libraryExp(double x);
