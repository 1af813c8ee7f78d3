// The per-ply matrices of classical lamination theory, in single precision: the stress
// transformation of a ply angle and its inverse, the compliance of a material set in its
// material axes, and the small matrix products they are combined with.
//
// Every matrix is 3 by 3 and stored by columns: entry (i, j), counted from 1, lies at
// position (j - 1) * 3 + (i - 1). Every stored value is a float; expressions are evaluated
// in double and rounded where their result is stored.
#pragma once

#include <cstdint>

// The elastic and geometric constants of one kind of ply.
struct MaterialSet {
    float e1 = 0.0f;             // modulus in the fibre direction
    float e2 = 0.0f;             // modulus in the transverse direction
    float nu12 = 0.0f;           // principal Poisson ratio
    float g12 = 0.0f;            // in-plane shear modulus
    float thickness = 0.0f;      // thickness of one ply
    float creepFraction = 0.0f;  // creep fraction, used by the relaxation sweep
};

// One ply of the stacking sequence.
struct PlyRecord {
    std::int32_t materialSet = 0;  // number of the material set the ply is made of
    float angle = 0.0f;            // degrees from the laminate x axis to the fibres
};

// 3.14159 as a float; the ply angle is turned into radians with it and 180.0.
constexpr float PI_APPROX = 3.14159f;

// diag(1, 1, 2) and diag(1, 1, 0.5): between tensor and engineering shear strain.
extern const float REUTER_MATRIX[9];
extern const float INVERSE_REUTER_MATRIX[9];

// The trigonometric terms of a ply angle, each rounded to float.
struct AngleTerms {
    float sc = 0.0f;  // cos(theta) * sin(theta)
    float s2 = 0.0f;  // sin(theta) ** 2
    float c2 = 0.0f;  // cos(theta) ** 2
};

// The terms of the angles met so far in a run. Every ply's terms are asked for again and
// again (for T and T', in the stiffness and load reports and the relaxation sweep), and the
// library functions give the same results for the same angle.
class AngleTable {
public:
    // The terms of an angle: those kept, or computed (and kept while there is room).
    AngleTerms termsOf(float angleDegrees);

private:
    // One per ply, twice over.
    static constexpr int LIMIT = 40;
    struct KnownAngle {
        std::uint32_t bits;
        AngleTerms terms;
    };
    KnownAngle known_[LIMIT] = {};
    int count_ = 0;
};

// T: laminate-axis stresses to material-axis stresses.
void stressTransformationOf(AngleTable& angles, float angleDegrees, float* t);
// T': material-axis stresses to laminate-axis stresses (T of the negated angle).
void inverseStressTransformationOf(AngleTable& angles, float angleDegrees, float* t);
// S: material-axis strains from material-axis stresses.
void plyComplianceOf(const MaterialSet& set, float* s);

// c = a b for n by n matrices (leading dimension n): each entry a running float sum over
// l = 1..n of a(i, l) b(l, j), rounded after every term. c must not alias a or b.
void multiplyMatrices(const float* a, const float* b, int n, float* c);
// r = a v for an n by n matrix, by the same rule. r must not alias v.
void multiplyMatrixVector(const float* a, const float* v, int n, float* r);
