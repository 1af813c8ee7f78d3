// Inversion of square single-precision matrices stored by columns, by LU decomposition with
// implicit partial pivoting (Crout's method).
#pragma once

// The largest working order: the row scale is kept in static storage of this many entries.
constexpr int MAX_INVERT_ORDER = 100;

// 1.0E-20 as a float: stands in for a pivot that came out exactly zero.
constexpr float TINY_PIVOT = 1.0E-20f;

// y's leading n by n block becomes the inverse of a's; a is left unchanged. A matrix with
// an all-zero row shows "Singular matrix." at the pause, and the division by that row's
// zero magnitude that follows ends the run with the floating-point fault report.
void invertMatrix(const float* a, int n, int np, float* y);

// Replaces a's leading n by n block by the LU decomposition of a row-permuted copy (L's
// multipliers below the diagonal, U on and above it); pivotRows(j) is the row exchanged
// with row j, parity the sign of the permutation.
void luDecompose(float* a, int n, int np, int* pivotRows, float& parity);

// Replaces b by the solution x of A x = b, A being the matrix luDecompose decomposed.
void luSolve(const float* a, int n, int np, const int* pivotRows, float* b);

// Clears the decomposition's static storage (the row scale); for tests and fuzz targets,
// which run many inversions in one process.
void resetInversionState();
