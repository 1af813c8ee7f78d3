// Sine and cosine whose results do not depend on how the platform's library reduces large
// arguments.
#pragma once

// Sine and cosine with an exact argument reduction: x is reduced by pi/2 with enough bits
// of 2/pi that the remainder r (|r| <= pi/4) is right to better than 120 bits whatever the
// size of x; the library's extended-precision sine or cosine is then applied to r, where it
// is accurate. Arguments with |x| <= pi/4 go to the library's double functions unchanged.
// An infinity gives a NaN and raises the invalid-operation flag, a NaN gives itself, as the
// C standard has it.
double reducedSin(double x);
double reducedCos(double x);
