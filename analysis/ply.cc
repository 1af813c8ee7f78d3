// The per-ply matrices: stress transformations, ply compliance and the rounded products.
#include "analysis/ply.h"

#include <bit>
#include <cstdint>

#include "analysis/rounding.h"

const float REUTER_MATRIX[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 2.0f};
const float INVERSE_REUTER_MATRIX[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.5f};

namespace {

AngleTerms computeAngleTerms(float angleDegrees);

}  // namespace

AngleTerms AngleTable::termsOf(float angleDegrees) {
    const auto bits = std::bit_cast<std::uint32_t>(angleDegrees);
    for (int i = 0; i < count_; ++i)
        if (known_[i].bits == bits) return known_[i].terms;
    const AngleTerms terms = computeAngleTerms(angleDegrees);
    if (count_ < LIMIT) known_[count_++] = {bits, terms};
    return terms;
}

namespace {

AngleTerms computeAngleTerms(float angleDegrees) {
    // theta is multiplied first, then divided, and stored as a float; the cosine of sc is
    // taken of the value before that rounding and the sine of the rounded one, on which the
    // last digits of the printed tables depend. The cosine is called first.
    const Wide exactTheta = wide(angleDegrees) * wide(PI_APPROX) / 180.0;
    const float theta = narrow(exactTheta);
    AngleTerms terms;
    const Wide cosine = cos(exactTheta);
    terms.sc = narrow(cosine * sin(wide(theta)));
    terms.s2 = narrow(pow(sin(wide(theta)), 2.0));
    terms.c2 = narrow(pow(cos(wide(theta)), 2.0));
    return terms;
}

// Fills T (sign +1) or T' (sign -1): they differ only in the sign of the sc terms.
void fillTransformation(AngleTable& angles, float angleDegrees, float sign, float* t) {
    const AngleTerms terms = angles.termsOf(angleDegrees);
    const float sc = rounded(wide(sign) * wide(terms.sc));  // exact
    const float twoSc = narrow(wide(sc) * 2.0);
    const float difference = narrow(wide(terms.c2) - wide(terms.s2));
    // column 1
    t[0] = terms.c2;
    t[1] = terms.s2;
    t[2] = -sc;
    // column 2
    t[3] = terms.s2;
    t[4] = terms.c2;
    t[5] = sc;
    // column 3
    t[6] = twoSc;
    t[7] = -twoSc;
    t[8] = difference;
}

}  // namespace

void stressTransformationOf(AngleTable& angles, float angleDegrees, float* t) {
    fillTransformation(angles, angleDegrees, 1.0f, t);
}

void inverseStressTransformationOf(AngleTable& angles, float angleDegrees, float* t) {
    fillTransformation(angles, angleDegrees, -1.0f, t);
}

void plyComplianceOf(const MaterialSet& set, float* s) {
    const Wide e1 = wide(set.e1);
    // Row by row; entry (1, 2) is a copy of entry (2, 1). A zero modulus divides by zero
    // here and ends the run with the floating-point fault report.
    s[0] = narrow(1.0 / e1);
    s[1] = narrow(-wide(set.nu12) / e1);
    s[3] = s[1];
    s[6] = 0.0f;
    s[4] = narrow(1.0 / wide(set.e2));
    s[7] = 0.0f;
    s[2] = 0.0f;
    s[5] = 0.0f;
    s[8] = narrow(1.0 / wide(set.g12));
}

namespace {

// The products for an order known at compile time (3 for the ply matrices, 6 for the
// laminate's), which the compiler unrolls, and for any order. The running sum of an entry
// is rounded to float after every term. The product's entries are its stored values, and
// its end is their check point: a term can only overflow in its rounding, or meet the
// infinity that an earlier overflow made, and nothing else happens until the product ends,
// so the fault found there is the one the first faulting term raised.
template <int N>
void multiplyMatricesOf(const float* a, const float* b, int n, float* c) {
    if constexpr (N > 0) n = N;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            c[i + j * n] = roundedSumOfProducts(
                n, [&](int l) { return wide(a[i + l * n]); }, [&](int l) { return wide(b[l + j * n]); });
        }
    }
    checkFloatingPointFault();
}

template <int N>
void multiplyMatrixVectorOf(const float* a, const float* v, int n, float* r) {
    if constexpr (N > 0) n = N;
    // The vector's entries widened once for all rows (r may not alias v).
    Wide widened[N > 0 ? N : 1];
    if constexpr (N > 0)
        for (int l = 0; l < N; ++l) widened[l] = wide(v[l]);
    for (int i = 0; i < n; ++i) {
        r[i] = roundedSumOfProducts(
            n, [&](int l) { return wide(a[i + l * n]); },
            [&](int l) { return N > 0 ? widened[l] : wide(v[l]); });
    }
    checkFloatingPointFault();
}

}  // namespace

void multiplyMatrices(const float* a, const float* b, int n, float* c) {
    if (n == 3) multiplyMatricesOf<3>(a, b, n, c);
    else multiplyMatricesOf<0>(a, b, n, c);
}

void multiplyMatrixVector(const float* a, const float* v, int n, float* r) {
    if (n == 3) multiplyMatrixVectorOf<3>(a, v, n, r);
    else if (n == 6) multiplyMatrixVectorOf<6>(a, v, n, r);
    else multiplyMatrixVectorOf<0>(a, v, n, r);
}
