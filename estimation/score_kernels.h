#pragma once

// The innermost loop of the triple search, several third points side by side
// in one vector register, with exactly the operations of the scalar path in
// the same order: no fused multiply-add, so every lane holds the bits the
// scalar path computes. Each instruction set has its own source file (and
// only this header and the kernel: what it compiles for AVX2 must not leak
// into code the other files share).

namespace kovarim::kernels {

// The three pivot rows of a pair (i, j) after pivot steps 4 to 6, columns 4
// to 7 and the right-hand side.
struct PairPivots {
    double row[3][5];
};

// The rows of the third points as columns: entry (r, c) of the difference
// rows of point m is columns[5 * r + c][m].
using Columns = const double *const *;

// Called for a third point k that needs a closer look, in ascending k:
// `scalar` when its lane cannot stand for the scalar path (a row exchange, a
// pivot that is not finite, a left-over row that does not cancel), otherwise
// because its misclosure is below the best so far.
using Attend = void (*)(void *context, int k, double misclosure, bool scalar);

// Scores the triples (i, j, k) for k from `begin` on, a vector at a time,
// while a whole vector fits before `end`; hands the third points that need
// it to `attend`, which may lower `best`. Returns the first k not done.
int ScoreRunScalar(const PairPivots &pair, Columns columns, int begin, int end, const double &best,
                   Attend attend, void *context);
int ScoreRunSse2(const PairPivots &pair, Columns columns, int begin, int end, const double &best,
                 Attend attend, void *context);
int ScoreRunAvx2(const PairPivots &pair, Columns columns, int begin, int end, const double &best,
                 Attend attend, void *context);

// Whether this processor can run the AVX2 kernel, and whether it was built.
bool Avx2Available();

} // namespace kovarim::kernels
