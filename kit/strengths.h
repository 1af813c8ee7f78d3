// The strengths of a material set, as a case file or a strengths file gives them: magnitudes
// (all positive) in the stress unit of the moduli. Free of file and process calls.
#pragma once

#include <optional>

namespace kit {

struct Strengths {
    double xt = 0;   // fibre tension
    double xc = 0;   // fibre compression
    double yt = 0;   // transverse tension
    double yc = 0;   // transverse compression
    double s = 0;    // in-plane shear
    // Tsai-Wu's interaction: f12 itself (1/stress^2) or its normalised form f12star
    // (F12 = f12star sqrt(F11 F22)); neither given: f12star = -0.5.
    std::optional<double> f12star;
    std::optional<double> f12;
    // Transverse shear strength for Hashin's matrix compression; none: yc / 2.
    std::optional<double> st;
    // Strain allowables; none: the strength over the modulus (xt / e1 and so on).
    std::optional<double> e1t, e1c, e2t, e2c, g12u;
    int line = 0;    // the line of the table that gave them (0: none)
};

}  // namespace kit
