#pragma once

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "base/error.h"

// Least squares over points that each give D equations of equal weight in U
// unknowns, the statistics of one point against a fit, and the test value
// that data snooping holds against the F distribution. Shared by every
// model the program adjusts; a model says how its points become equations:
//
//   struct Model {
//       static constexpr int kDimension;   // D: equations a point gives
//       static constexpr int kUnknowns;    // U
//       static constexpr int kSubset;      // points that fix the unknowns
//       static constexpr int kLeastPoints; // never fewer take part
//       static constexpr double kWellShaped; // a subset's shape to start from
//       static constexpr const char *kSingular, *kOverflow; // the messages
//       using Centre = ...;                // where coordinates are reduced to
//       int Count() const;                 // points 0 to Count() − 1
//       Centre CentreOf(const std::vector<bool> &inFit) const;
//       PointRows<D, U> Rows(int point, const Centre &centre) const;
//       // Each unknown's unit in the geometry's test (see Solve).
//       Eigen::Matrix<double, U, 1> GeometryScale(const Eigen::Matrix<double, U, U> &N) const;
//       // The variance below which the coordinates' own rounding rules.
//       double RoundingVariance(const std::vector<bool> &inFit) const;
//       // How well a subset fixes the unknowns: ≥ kWellShaped is good, 0 none.
//       double Shape(const std::array<int, kSubset> &points) const;
//   };
namespace kovarim::lsq {

template <int D, int U> struct PointRows {
    Eigen::Matrix<double, D, U> A;
    Eigen::Matrix<double, D, 1> l;
};

// The normal equations of the points taking part, reduced to `centre`.
template <class Model> struct NormalEquations {
    static constexpr int U = Model::kUnknowns;
    typename Model::Centre centre{};
    Eigen::Matrix<double, U, U> N = Eigen::Matrix<double, U, U>::Zero();
    Eigen::Matrix<double, U, 1> n = Eigen::Matrix<double, U, 1>::Zero();
    int count = 0;

    template <class Rows> void Add(const Rows &e, int sign) {
        N.noalias() += sign * (e.A.transpose() * e.A);
        n.noalias() += sign * (e.A.transpose() * e.l);
        count += sign;
    }
};

template <class Model>
NormalEquations<Model> Form(const Model &model, const std::vector<bool> &inFit) {
    NormalEquations<Model> ne;
    ne.centre = model.CentreOf(inFit);
    for (int i = 0; i < model.Count(); ++i)
        if (inFit[i])
            ne.Add(model.Rows(i, ne.centre), 1);
    return ne;
}

template <class Model> struct Fit {
    static constexpr int U = Model::kUnknowns;
    typename Model::Centre centre{};
    Eigen::Matrix<double, U, 1> x; // the unknowns, at the centre
    Eigen::Matrix<double, U, U> Q; // N⁻¹, the cofactors
};

// Solves the normal equations, scaled to a unit diagonal so that the
// Cholesky factor does not depend on the units. Throws the model's
// kSingular when the geometry does not fix every unknown, kOverflow for
// numbers that are not finite. `testGeometry` false skips the eigenvalues
// (for the many small fits of the robust start, whose subsets were chosen
// for their shape): a factor that fails still refuses.
template <class Model>
Fit<Model> Solve(const Model &model, const NormalEquations<Model> &ne, bool testGeometry = true) {
    constexpr int U = Model::kUnknowns;
    using VecU = Eigen::Matrix<double, U, 1>;
    using MatU = Eigen::Matrix<double, U, U>;
    if (!ne.N.allFinite() || !ne.n.allFinite())
        throw Error(Model::kOverflow);
    const VecU diagonal = ne.N.diagonal();
    if (!(diagonal.minCoeff() > 0.0))
        throw Error(Model::kSingular);
    if (testGeometry) {
        // The geometry's test takes each unknown at the unit the model gives
        // it (a rotation as the shift it makes at the network's size): then
        // points on or next to a line leave an eigenvalue near 0, where
        // scaling each column alone would make a rotation fixed by a
        // nanometre of lever arm look as well determined as any.
        const VecU size = model.GeometryScale(ne.N);
        const Eigen::SelfAdjointEigenSolver<MatU> eigen(
            size.asDiagonal() * ne.N * size.asDiagonal(), Eigen::EigenvaluesOnly);
        if (eigen.info() != Eigen::Success ||
            !(eigen.eigenvalues()(0) > 1e-12 * eigen.eigenvalues()(U - 1)))
            throw Error(Model::kSingular);
    }
    const VecU scale = diagonal.cwiseSqrt().cwiseInverse();
    const MatU M = scale.asDiagonal() * ne.N * scale.asDiagonal();
    const Eigen::LLT<MatU> cholesky(M);
    if (cholesky.info() != Eigen::Success)
        throw Error(Model::kSingular);
    Fit<Model> s;
    s.centre = ne.centre;
    s.Q = scale.asDiagonal() * cholesky.solve(MatU::Identity()) * scale.asDiagonal();
    s.x = scale.asDiagonal() * cholesky.solve(scale.asDiagonal() * ne.n);
    if (!s.x.allFinite() || !s.Q.allFinite())
        throw Error(Model::kOverflow);
    return s;
}

// What one point says of a fit: its residuals v = A·x − l (computed −
// given), H = A·Q·Aᵀ, and Ω = vᵀ·W⁻¹·v with W = I − H for a point taking
// part (what vᵀv loses when it leaves) or W = I + H for one that does not
// (what vᵀv would gain were it added). Nothing for Ω where W is singular in
// some direction: without the point the geometry would be singular, so
// nothing can test it.
template <int D> struct PointCheck {
    Eigen::Matrix<double, D, 1> v;
    Eigen::Matrix<double, D, D> H;
    std::optional<double> omega;
};

template <class Model>
PointCheck<Model::kDimension> Check(const Model &model, const Fit<Model> &s, int point,
                                    bool inFit) {
    constexpr int D = Model::kDimension;
    using MatD = Eigen::Matrix<double, D, D>;
    const auto e = model.Rows(point, s.centre);
    PointCheck<D> c;
    c.v = e.A * s.x - e.l;
    c.H = e.A * s.Q * e.A.transpose();
    const MatD W = inFit ? MatD(MatD::Identity() - c.H) : MatD(MatD::Identity() + c.H);
    // W = L·D·Lᵀ by hand: D is at most 3, and every point is checked after
    // every refit.
    constexpr double smallest = 1e-9;
    double d[D], L[D][D] = {}, y[D];
    for (int j = 0; j < D; ++j) {
        double dj = W(j, j);
        for (int k = 0; k < j; ++k)
            dj -= L[j][k] * L[j][k] * d[k];
        if (!(dj > smallest))
            return c;
        d[j] = dj;
        for (int i = j + 1; i < D; ++i) {
            double w = W(i, j);
            for (int k = 0; k < j; ++k)
                w -= L[i][k] * L[j][k] * d[k];
            L[i][j] = w / dj;
        }
    }
    double omega = 0.0;
    for (int j = 0; j < D; ++j) {
        y[j] = c.v(j);
        for (int k = 0; k < j; ++k)
            y[j] -= L[j][k] * y[k];
        omega += y[j] * y[j] / d[j];
    }
    c.omega = omega;
    return c;
}

// The test value F = (Ω / D) / s², s² the variance of the fit without the
// point, never taken below `floor` (the rounding of the coordinates), so
// that exact data do not make rounding look like blunders.
inline double TestValue(double omega, int dimension, double variance, double floor) {
    const double v = std::max(variance, floor);
    if (!(omega > 0.0))
        return 0.0;
    const double f = (omega / dimension) / v;
    return std::isfinite(f) ? f : std::numeric_limits<double>::max();
}

} // namespace kovarim::lsq
