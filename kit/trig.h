// Cosine and sine of an angle in degrees, the same bits on every platform: the angle is
// reduced exactly in degrees (fmod and the subtraction of a multiple of 90 are exact) to
// [-45, 45] about the nearest multiple of 90, turned into radians by one rounded product, and
// the Taylor polynomials are summed with plain + and * only (no library sine or cosine, whose
// last bit differs between platforms). Multiples of 90 give exactly 0 and 1 (never -0).
// Accurate to about one unit in the last place. Free of file and process calls.
#pragma once

namespace kit {

struct CosSin {
    double cos;
    double sin;
};

CosSin cosSinDegrees(double degrees);

}  // namespace kit
