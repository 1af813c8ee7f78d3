// Inversion of square single-precision matrices stored by columns, by LU decomposition with
// implicit partial pivoting (Crout's method).
#pragma once

// The largest working order: the row scale has room for this many entries.
constexpr int MAX_INVERT_ORDER = 100;

// 1.0E-20 as a float: stands in for a pivot that came out exactly zero.
constexpr float TINY_PIVOT = 1.0E-20f;

// What the caller does on meeting a matrix with an all-zero row: it is told at that row,
// before the decomposition divides by the row's zero magnitude (which then ends the run
// with the floating-point fault report). A null handler: nothing is done before the division.
class SingularRowHandler {
public:
    virtual void onSingularRow() = 0;

protected:
    ~SingularRowHandler() = default;
};

// y's leading n by n block becomes the inverse of a's; a is left unchanged. An all-zero
// row is reported to `handler` (the session pauses with "Singular matrix.").
void invertMatrix(const float* a, int n, int np, float* y, SingularRowHandler* handler);

// Replaces a's leading n by n block by the LU decomposition of a row-permuted copy (L's
// multipliers below the diagonal, U on and above it); pivotRows(j) is the row exchanged
// with row j, parity the sign of the permutation.
void luDecompose(float* a, int n, int np, int* pivotRows, float& parity,
                 SingularRowHandler* handler = nullptr);

// Replaces b by the solution x of A x = b, A being the matrix luDecompose decomposed.
void luSolve(const float* a, int n, int np, const int* pivotRows, float* b);
