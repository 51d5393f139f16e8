#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "adjustment/f_distribution.h"
#include "adjustment/least_squares.h"

// The robust start of an adjustment: which points wait at first, so that a
// blunder cannot pull the first fit towards itself, nor two blunders mask
// each other. Least median of squares over well-shaped subsets:
//
//  1. Subsets of Model::kSubset points (for the seven parameters, triples)
//     whose shape is at least Model::kWellShaped (a triangle whose smallest
//     angle is 20° or more): every one of them where there are few enough,
//     else kSampledSubsets drawn with a fixed seed, so that the same file
//     always gives the same result. A thin subset fixes the unknowns badly
//     and closes well all the same; it is never the start (unless no subset
//     is well shaped: then those at least half as well shaped as the best).
//  2. Each subset's own least-squares fit is scored by the h-th smallest
//     squared residual of the other points, h just over half of them: the
//     fit that half the points agree with best wins. Up to half the points
//     may be blunders without moving it.
//  3. Under its fit, each point's residuals weighed by how well that fit
//     knows them there (Ω = vᵀ·(I + H)⁻¹·v, σ²·χ²(D) for a good point)
//     give the scale σ̂ by their median. A point whose Ω exceeds the
//     χ²(1 − 10⁻⁶; D) quantile of σ̂² waits (for the seven parameters, a
//     residual of about 5.5σ̂): only what is far off, since a good point that
//     waited would make the fit without it look tighter than it is. The
//     others are fitted by least squares, which gives a better σ̂ and a
//     better line between them, until the set stays (a few rounds at most).
// Data snooping then starts from the points that did not wait and offers
// every waiting point back whenever it passes (snooping.h).
namespace kovarim::lsq {

inline constexpr long long kEverySubsetUpTo = 1000;
inline constexpr int kSampledSubsets = 1000;
inline constexpr int kScoringPoints = 2000; // beyond this, an even sample of them scores
inline constexpr std::uint64_t kSubsetSeed = 20261208;
inline constexpr double kWaitingQuantile = 1 - 1e-6;
// The χ² quantiles the start uses, for 1, 2 and 3 degrees of freedom: the
// median, and kWaitingQuantile. Computed once (mpmath, 40 digits), so that
// no C library's erf decides a point's fate differently on another system;
// tests/adjustment/f_distribution_test.cpp holds them to ChiSquareQuantile.
inline constexpr double kChiSquareMedian[4] = {0.0, 0.4549364231195728, 1.3862943611198906,
                                               2.365973884375338};
inline constexpr double kChiSquareWaiting[4] = {0.0, 23.92812697693483, 27.631021115928547,
                                                30.664849706213598};

template <class Model> struct RobustStart {
    bool made = false;                        // too few points for one: every candidate starts
    std::array<int, Model::kSubset> subset{}; // the subset it started from
    double shape = 0.0;                       // that subset's
    double shapeLimit = 0.0;                  // what a subset's shape had to reach
    int subsetsFitted = 0;
    double scale = 0.0; // σ̂
    double limit = 0.0; // the length of a residual vector beyond which a point waited
    int waiting = 0;
    std::vector<bool> waits;
};

namespace detail {

// Every subset of `size` of 0 … n − 1 in lexicographic order, or a sample
// of them. The sample uses the generator's own output, which the standard
// fixes bit for bit, not a distribution, whose algorithm it leaves open.
template <int M> std::vector<std::array<int, M>> Subsets(int n) {
    std::vector<std::array<int, M>> subsets;
    // C(n, M), counted only as far as the limit: C(25000, 6) is beyond any
    // integer, and a count wrapped round below the limit would enumerate
    // them all. Where a C(n, k) passes the limit, n > 2·M and so C(n, M) does
    // too.
    long long all = 1;
    for (int k = 0; k < M && all <= kEverySubsetUpTo; ++k)
        all = all * (n - k) / (k + 1);
    if (all <= kEverySubsetUpTo) {
        std::array<int, M> s;
        for (int k = 0; k < M; ++k)
            s[k] = k;
        for (;;) {
            subsets.push_back(s);
            int k = M - 1;
            while (k >= 0 && s[k] == n - M + k)
                --k;
            if (k < 0)
                break;
            ++s[k];
            for (int j = k + 1; j < M; ++j)
                s[j] = s[j - 1] + 1;
        }
        return subsets;
    }
    std::mt19937_64 random(kSubsetSeed);
    while (static_cast<int>(subsets.size()) < kSampledSubsets) {
        std::array<int, M> s;
        for (int k = 0; k < M; ++k)
            s[k] = static_cast<int>(random() % static_cast<std::uint64_t>(n));
        std::sort(s.begin(), s.end());
        if (std::adjacent_find(s.begin(), s.end()) == s.end())
            subsets.push_back(s);
    }
    return subsets;
}

// The k-th smallest (from 1) of `values`, which it reorders.
inline double KthSmallest(std::vector<double> &values, int k) {
    auto at = values.begin() + (k - 1);
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

} // namespace detail

template <class Model>
RobustStart<Model> StartRobustly(const Model &model, const std::vector<bool> &candidate) {
    constexpr int D = Model::kDimension, U = Model::kUnknowns, M = Model::kSubset;
    const int count = model.Count();
    RobustStart<Model> start;
    start.waits.assign(static_cast<std::size_t>(count), false);
    std::vector<int> points;
    for (int i = 0; i < count; ++i)
        if (candidate[i])
            points.push_back(i);
    const int n = static_cast<int>(points.size());
    // A median needs points beyond the subset to speak of.
    if (n < M + 2)
        return start;

    // 1. The subsets to fit, by their shape.
    const auto subsets = detail::Subsets<M>(n);
    std::vector<double> shapes;
    double best = 0.0;
    for (const auto &s : subsets) {
        std::array<int, M> numbers;
        for (int k = 0; k < M; ++k)
            numbers[k] = points[s[k]];
        shapes.push_back(model.Shape(numbers));
        best = std::max(best, shapes.back());
    }
    if (!(best > 0.0))
        return start;
    const double shapeLimit = best >= Model::kWellShaped ? Model::kWellShaped : best / 2;
    start.shapeLimit = shapeLimit;

    // 2. Scored by the h-th smallest squared residual over all points, or
    // an even sample of them.
    std::vector<int> scoring;
    if (n <= kScoringPoints) {
        scoring = points;
    } else {
        for (int k = 0; k < kScoringPoints; ++k)
            scoring.push_back(
                points[static_cast<std::size_t>(static_cast<long long>(k) * n / kScoringPoints)]);
    }
    const int scored = static_cast<int>(scoring.size());
    const int h = std::min(scored, scored / 2 + (M + 1) / 2);
    auto squaredResiduals = [&](const Fit<Model> &fit, const std::vector<int> &of) {
        std::vector<double> r2;
        r2.reserve(of.size());
        for (int i : of) {
            const auto e = model.Rows(i, fit.centre);
            r2.push_back((e.A * fit.x - e.l).squaredNorm());
        }
        return r2;
    };
    std::vector<bool> in(static_cast<std::size_t>(count), false);
    std::optional<Fit<Model>> chosen;
    double bestScore = 0.0;
    for (std::size_t t = 0; t < subsets.size(); ++t) {
        if (!(shapes[t] >= shapeLimit))
            continue;
        for (int k = 0; k < M; ++k)
            in[points[subsets[t][k]]] = true;
        std::optional<Fit<Model>> fit;
        try {
            fit = Solve(model, Form(model, in), false);
        } catch (const Error &) {
        }
        for (int k = 0; k < M; ++k)
            in[points[subsets[t][k]]] = false;
        if (!fit)
            continue;
        ++start.subsetsFitted;
        std::vector<double> r2 = squaredResiduals(*fit, scoring);
        const double score = detail::KthSmallest(r2, h);
        if (!chosen || score < bestScore) {
            chosen = fit, bestScore = score;
            for (int k = 0; k < M; ++k)
                start.subset[k] = points[subsets[t][k]];
            start.shape = shapes[t];
        }
    }
    if (!chosen)
        return start;
    start.made = true;

    // 3. The scale and the points that wait. Each point's residuals are
    // weighed by how well the fit knows them there: Ω = vᵀ·W⁻¹·v (W = I + H
    // for a point outside the fit, I − H inside, least_squares.h) is σ²·χ²(D)
    // for a good point wherever it stands, so a far point is not held to the
    // lever arm of a small fit. σ̂ comes from their median over every point
    // that can be weighed, which the points set aside do not shrink; a point
    // waits when its Ω exceeds the χ²(kWaitingQuantile; D) quantile of σ̂².
    // Least squares over the others, and again, until the set stays.
    const double floor = model.RoundingVariance(candidate);
    static_assert(D >= 1 && D <= 3);
    const double median = kChiSquareMedian[D];
    const double quantile = kChiSquareWaiting[D];
    // At least as many points as the median spoke for, and enough to fit.
    const int least = std::max({n / 2 + (M + 1) / 2, Model::kLeastPoints, M + 1});
    std::vector<bool> keep(static_cast<std::size_t>(count), false);
    for (int k = 0; k < M; ++k)
        keep[start.subset[k]] = true;
    Fit<Model> fit = *chosen;
    for (int round = 0; round < 6; ++round) {
        std::vector<double> omega(points.size(), -1.0), weighed;
        for (int k = 0; k < n; ++k) {
            const int i = points[k];
            const PointCheck<D> c = Check(model, fit, i, keep[i]);
            if (c.omega) {
                omega[k] = *c.omega;
                weighed.push_back(*c.omega);
            }
        }
        if (weighed.empty())
            break;
        const int middle = (static_cast<int>(weighed.size()) + 1) / 2;
        const double variance = std::max(detail::KthSmallest(weighed, middle) / median, floor);
        start.scale = std::sqrt(variance);
        start.limit = std::sqrt(quantile * variance);
        // Those that cannot be weighed (the subset's own points, which a
        // small fit passes through) stay.
        std::vector<double> order;
        for (int k = 0; k < n; ++k)
            order.push_back(omega[k] < 0.0 ? 0.0 : omega[k]);
        std::vector<double> sorted = order;
        const double cut = std::max(quantile * variance, detail::KthSmallest(sorted, least));
        std::vector<bool> next(static_cast<std::size_t>(count), false);
        for (int k = 0; k < n; ++k)
            next[points[k]] = order[k] <= cut;
        if (round > 0 && next == keep)
            break;
        keep = next;
        const NormalEquations<Model> ne = Form(model, keep);
        if (D * ne.count - U < 1)
            break;
        try {
            fit = Solve(model, ne);
        } catch (const Error &) {
            break; // what waits is decided; the snooping will say the rest
        }
    }
    for (int i : points)
        start.waits[i] = !keep[i];
    start.waiting = static_cast<int>(std::count(start.waits.begin(), start.waits.end(), true));
    return start;
}

} // namespace kovarim::lsq
