// The kernel one lane wide, for processors without SSE2 or AVX2; it runs the
// same operations as the vector ones, and tests use it to check them.
#include "estimation/score_kernels.h"

#include <cmath>

namespace kovarim::kernels {
namespace {

struct Mask {
    bool m;
    Mask operator|(Mask o) const { return {m || o.m}; }
};

struct V {
    static constexpr int kLanes = 1;
    double v;
    static V Load(const double *p) { return {*p}; }
    static V Broadcast(double x) { return {x}; }
    void Store(double *p) const { *p = v; }
    V operator+(V o) const { return {v + o.v}; }
    V operator-(V o) const { return {v - o.v}; }
    V operator*(V o) const { return {v * o.v}; }
    V operator/(V o) const { return {v / o.v}; }
    static V Abs(V a) { return {std::fabs(a.v)}; }
    Mask operator==(V o) const { return {v == o.v}; }
    Mask operator!=(V o) const { return {v != o.v}; }
    Mask operator<(V o) const { return {v < o.v}; }
    static unsigned Bits(Mask m) { return m.m ? 1u : 0u; }
};

#include "estimation/score_kernel.inc"

} // namespace

int ScoreRunScalar(const PairPivots &pair, Columns columns, int begin, int end, const double &best,
                   Attend attend, void *context) {
    return ScoreRun<V>(pair, columns, begin, end, best, attend, context);
}

} // namespace kovarim::kernels
