// The sine and cosine on Windows: the C run-time's functions reduce large arguments with
// the processor's inexact pi, so the arguments are reduced exactly first.
#include "runtime/trig.h"

double librarySin(double x) { return reducedSin(x); }

double libraryCos(double x) { return reducedCos(x); }
