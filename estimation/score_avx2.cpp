// The vector kernel with AVX2: four lanes. This file alone is compiled for
// AVX2 (without FMA); it is called only where the processor has AVX2.
#include "estimation/score_kernels.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace kovarim::kernels {
namespace {

struct Mask {
    __m256d m;
    Mask operator|(Mask o) const { return {_mm256_or_pd(m, o.m)}; }
};

struct V {
    static constexpr int kLanes = 4;
    __m256d v;
    static V Load(const double *p) { return {_mm256_loadu_pd(p)}; }
    static V Broadcast(double x) { return {_mm256_set1_pd(x)}; }
    void Store(double *p) const { _mm256_storeu_pd(p, v); }
    V operator+(V o) const { return {_mm256_add_pd(v, o.v)}; }
    V operator-(V o) const { return {_mm256_sub_pd(v, o.v)}; }
    V operator*(V o) const { return {_mm256_mul_pd(v, o.v)}; }
    V operator/(V o) const { return {_mm256_div_pd(v, o.v)}; }
    static V Abs(V a) { return {_mm256_andnot_pd(_mm256_set1_pd(-0.0), a.v)}; }
    Mask operator==(V o) const { return {_mm256_cmp_pd(v, o.v, _CMP_EQ_OQ)}; }
    Mask operator!=(V o) const { return {_mm256_cmp_pd(v, o.v, _CMP_NEQ_UQ)}; } // true for NaN
    Mask operator<(V o) const { return {_mm256_cmp_pd(v, o.v, _CMP_LT_OQ)}; }   // false for NaN
    static unsigned Bits(Mask m) { return static_cast<unsigned>(_mm256_movemask_pd(m.m)); }
};

#include "estimation/score_kernel.inc"

} // namespace

int ScoreRunAvx2(const PairPivots &pair, Columns columns, int begin, int end, const double &best,
                 Attend attend, void *context) {
    return ScoreRun<V>(pair, columns, begin, end, best, attend, context);
}

bool Avx2Available() { return __builtin_cpu_supports("avx2"); }

} // namespace kovarim::kernels

#else

namespace kovarim::kernels {

int ScoreRunAvx2(const PairPivots &, Columns, int begin, int, const double &, Attend, void *) {
    return begin;
}

bool Avx2Available() { return false; }

} // namespace kovarim::kernels

#endif
