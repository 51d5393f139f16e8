// The vector kernel with SSE2, which every x86-64 processor has: two lanes.
#include "estimation/score_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>

namespace kovarim::kernels {
namespace {

struct Mask {
    __m128d m;
    Mask operator|(Mask o) const { return {_mm_or_pd(m, o.m)}; }
};

struct V {
    static constexpr int kLanes = 2;
    __m128d v;
    static V Load(const double *p) { return {_mm_loadu_pd(p)}; }
    static V Broadcast(double x) { return {_mm_set1_pd(x)}; }
    void Store(double *p) const { _mm_storeu_pd(p, v); }
    V operator+(V o) const { return {_mm_add_pd(v, o.v)}; }
    V operator-(V o) const { return {_mm_sub_pd(v, o.v)}; }
    V operator*(V o) const { return {_mm_mul_pd(v, o.v)}; }
    V operator/(V o) const { return {_mm_div_pd(v, o.v)}; }
    static V Abs(V a) { return {_mm_andnot_pd(_mm_set1_pd(-0.0), a.v)}; }
    Mask operator==(V o) const { return {_mm_cmpeq_pd(v, o.v)}; }
    Mask operator!=(V o) const { return {_mm_cmpneq_pd(v, o.v)}; } // true for NaN
    Mask operator<(V o) const { return {_mm_cmplt_pd(v, o.v)}; }   // false for NaN
    static unsigned Bits(Mask m) { return static_cast<unsigned>(_mm_movemask_pd(m.m)); }
};

#include "estimation/score_kernel.inc"

} // namespace

int ScoreRunSse2(const PairPivots &pair, Columns columns, int begin, int end, const double &best,
                 Attend attend, void *context) {
    return ScoreRun<V>(pair, columns, begin, end, best, attend, context);
}

} // namespace kovarim::kernels

#else

namespace kovarim::kernels {

int ScoreRunSse2(const PairPivots &, Columns, int begin, int, const double &, Attend, void *) {
    return begin; // not an x86 processor: the scalar path does it all
}

} // namespace kovarim::kernels

#endif
