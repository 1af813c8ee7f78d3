// Inversion of square single-precision matrices: LU decomposition by Crout's method with
// implicit partial pivoting (each row scaled by its largest magnitude), then one forward
// and back substitution per column of the identity.
//
// Every running sum and stored intermediate is a float, rounded after each update; the
// product of two entries is formed in double and rounded only when combined into a sum.
#include "analysis/invert.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/rounding.h"
#include "runtime/error.h"

namespace {

// Orders up to this one are worked on the stack.
constexpr int SMALL_ORDER = 6;

// Entry (i, j), counted from 1, of a matrix stored by columns with leading dimension np.
inline float& at(float* a, int np, int i, int j) { return a[(j - 1) * np + (i - 1)]; }
inline float at(const float* a, int np, int i, int j) { return a[(j - 1) * np + (i - 1)]; }

// sum - x * y, rounded to float.
inline float subtractProduct(float sum, float x, float y) { return narrow(wide(sum) - wide(x) * wide(y)); }

}  // namespace

void invertMatrix(const float* a, int n, int np, float* y, SingularRowHandler* handler) {
    // The work matrix and the pivot rows of the orders the program inverts live on the
    // stack; larger ones on the heap.
    const std::size_t size = static_cast<std::size_t>(np) * static_cast<std::size_t>(np);
    float smallWork[SMALL_ORDER * SMALL_ORDER];
    int smallPivotRows[SMALL_ORDER];
    std::vector<float> largeWork;
    std::vector<int> largePivotRows;
    float* work = smallWork;
    int* pivotRows = smallPivotRows;
    if (np > SMALL_ORDER) {
        largeWork.resize(size);
        largePivotRows.resize(static_cast<std::size_t>(np));
        work = largeWork.data();
        pivotRows = largePivotRows.data();
    }
    std::copy(a, a + size, work);
    float parity = 1.0f;

    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) at(y, np, i, j) = 0.0f;
        at(y, np, i, i) = 1.0f;
    }
    luDecompose(work, n, np, pivotRows, parity, handler);
    for (int j = 1; j <= n; ++j) luSolve(work, n, np, pivotRows, y + (j - 1) * np);
}

void luDecompose(float* a, int n, int np, int* pivotRows, float& parity,
                 SingularRowHandler* handler) {
    // The row scale has room for MAX_INVERT_ORDER rows; a larger order cannot be worked.
    // The inversion is arithmetic, given no run: it reports through the run in progress.
    if (n > MAX_INVERT_ORDER) raiseRuntimeError(ErrorCode::WorkArrayAllocate, StatementKind::General);
    parity = 1.0f;
    // One over the largest magnitude of each row; every entry used is set below first.
    float rowScale[MAX_INVERT_ORDER];

    for (int i = 1; i <= n; ++i) {
        float big = 0.0f;
        for (int j = 1; j <= n; ++j) {
            const float magnitude = std::fabs(at(a, np, i, j));
            if (decides(wide(magnitude) > wide(big))) big = magnitude;
        }
        // An all-zero row: the caller is told (and the user waits). The division below then
        // divides by zero, and the floating-point fault report ends the run.
        if (decides(wide(big) == 0.0) && handler != nullptr) handler->onSingularRow();
        rowScale[i - 1] = narrow(1.0 / wide(big));
    }

    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i < j; ++i) {
            float sum = at(a, np, i, j);
            for (int k = 1; k < i; ++k) sum = subtractProduct(sum, at(a, np, i, k), at(a, np, k, j));
            at(a, np, i, j) = sum;
        }

        float big = 0.0f;
        int pivot = j;
        for (int i = j; i <= n; ++i) {
            float sum = at(a, np, i, j);
            for (int k = 1; k < j; ++k) sum = subtractProduct(sum, at(a, np, i, k), at(a, np, k, j));
            at(a, np, i, j) = sum;
            // A later row whose scaled figure equals the best so far takes its place.
            const Wide figure = wide(rowScale[i - 1]) * abs(wide(sum));
            if (decides(figure >= wide(big))) {
                pivot = i;
                big = narrow(figure);
            }
        }

        if (pivot != j) {
            for (int k = 1; k <= n; ++k) {
                const float held = at(a, np, pivot, k);
                at(a, np, pivot, k) = at(a, np, j, k);
                at(a, np, j, k) = held;
            }
            parity = -parity;
            rowScale[pivot - 1] = rowScale[j - 1];
        }
        pivotRows[j - 1] = pivot;

        if (decides(wide(at(a, np, j, j)) == 0.0)) at(a, np, j, j) = TINY_PIVOT;
        if (j < n) {
            const float reciprocal = narrow(1.0 / wide(at(a, np, j, j)));
            for (int i = j + 1; i <= n; ++i) at(a, np, i, j) = narrow(wide(at(a, np, i, j)) * wide(reciprocal));
        }
    }
}

void luSolve(const float* a, int n, int np, const int* pivotRows, float* b) {
    // Forward substitution; the sums start at the first nonzero entry of the permuted b.
    int first = 0;
    for (int i = 1; i <= n; ++i) {
        const int l = pivotRows[i - 1];
        float sum = b[l - 1];
        b[l - 1] = b[i - 1];
        if (first != 0) {
            for (int j = first; j < i; ++j) sum = subtractProduct(sum, at(a, np, i, j), b[j - 1]);
        } else if (decides(wide(sum) != 0.0)) {
            first = i;
        }
        b[i - 1] = sum;
    }

    for (int i = n; i >= 1; --i) {
        float sum = b[i - 1];
        for (int j = i + 1; j <= n; ++j) sum = subtractProduct(sum, at(a, np, i, j), b[j - 1]);
        b[i - 1] = narrow(wide(sum) / wide(at(a, np, i, i)));
    }
}
