#pragma once

#include <optional>
#include <set>
#include <vector>

#include "adjustment/f_distribution.h"
#include "adjustment/least_squares.h"

// Data snooping: which points take part in a least-squares fit, decided by
// one test per point (see least_squares.h for the models).
//
// For point i with residuals v_i, Ω_i = v_iᵀ·(I − H_i)⁻¹·v_i is exactly what
// vᵀv loses when the point leaves the fit; its test value is
//     F_i = (Ω_i / D) / s_i²,   s_i² = (vᵀv − Ω_i) / (r − D),
// the variance of the fit without it, r = D·n − U. Under equal, independent,
// normal errors F_i follows F(D, r − D); the point fails when F_i exceeds
// F(α; D, r − D). A point outside the fit has the same test seen from the
// other side: Ω = vᵀ·(I + H)⁻¹·v is what vᵀv would gain were it added, s² =
// vᵀv / r, against F(α; D, r). It is the same number either way, so a point
// passes or fails alike whether it is in the fit or out of it.
//
// The search: the worst failing point leaves (its contribution subtracted
// from the normal equations) and the fit is solved again, until none fails;
// then, formed afresh, the points outside that pass come back one at a time,
// the most clearly passing first, and the search goes on. It ends where every point taking part
// passes and every point outside fails: so a point set aside at the start, or removed while another
// point was missing, comes back whenever it passes. Never fewer than Model::kLeastPoints take part:
// a point that fails with no one to spare stays, and its verdict says it failed. Should the search
// ever come back to a set of points it had already left (two points each failing only while the
// other takes part), it stops removing and only adds what passes, and the points that fail and stay
// say so. A fit without redundancy (r = 0, as few points as the unknowns need) tests nothing.
namespace kovarim::lsq {

template <class Model> struct PointVerdict {
    static constexpr int D = Model::kDimension;
    bool inFit = false;
    Eigen::Matrix<double, D, 1> residual = Eigen::Matrix<double, D, 1>::Zero(); // computed − given
    Eigen::Matrix<double, D, 1> redundancy = Eigen::Matrix<double, D, 1>::Zero(); // of a used point
    // I − H of a used point, whose diagonal the redundancy numbers are: for
    // them in other directions (the residuals' own axes of a coordinate system).
    Eigen::Matrix<double, D, D> redundancyMatrix = Eigen::Matrix<double, D, D>::Zero();
    std::optional<double> test; // nothing where the point cannot be tested
    double critical = 0.0;      // the critical value its test is held against
    bool passed = true;         // no test, or a test within its critical value
};

template <class Model> struct Snooped {
    std::vector<bool> inFit;
    Fit<Model> fit; // the last one, formed afresh
    int used = 0;
    double vtv = 0.0;
    int redundancy = 0;          // r = D·n − U
    double criticalUsed = 0.0;   // F(α; D, r − D)
    double criticalOthers = 0.0; // F(α; D, r)
    std::vector<PointVerdict<Model>> points;
    int solves = 0;
    bool settled = true; // false when the search went round and only added
};

// `candidate` marks the points that may take part (the others, check points,
// are only tested), `inFit` where the search begins.
template <class Model>
Snooped<Model> Snoop(const Model &model, const std::vector<bool> &candidate,
                     std::vector<bool> inFit, double alpha) {
    constexpr int D = Model::kDimension, U = Model::kUnknowns;
    const int count = model.Count();
    const double floor = model.RoundingVariance(candidate);
    Snooped<Model> result;

    NormalEquations<Model> ne = Form(model, inFit);
    bool fresh = true, addOnly = false;
    std::set<std::vector<bool>> seen; // the sets of fresh fits
    Fit<Model> s;
    std::vector<std::optional<double>> omega(static_cast<std::size_t>(count));
    for (;;) {
        s = Solve(model, ne);
        ++result.solves;
        const int r = D * ne.count - U;
        if (fresh && (!seen.insert(inFit).second || result.solves > 20 * count + 100))
            addOnly = true;
        if (!addOnly && r > D && ne.count > Model::kLeastPoints) {
            double vtv = 0.0;
            for (int i = 0; i < count; ++i)
                if (inFit[i]) {
                    const PointCheck<D> c = Check(model, s, i, true);
                    vtv += c.v.squaredNorm();
                    omega[i] = c.omega;
                }
            int worst = -1;
            double worstValue = FCriticalValue(alpha, D, r - D);
            for (int i = 0; i < count; ++i) {
                if (!inFit[i] || !omega[i])
                    continue;
                const double f = TestValue(*omega[i], D, (vtv - *omega[i]) / (r - D), floor);
                if (f > worstValue)
                    worst = i, worstValue = f;
            }
            if (worst >= 0) {
                ne.Add(model.Rows(worst, ne.centre), -1);
                inFit[worst] = false;
                fresh = false;
                continue;
            }
        }
        if (!fresh) {
            ne = Form(model, inFit);
            fresh = true;
            continue;
        }
        // Formed afresh, and no point taking part fails (or none may leave):
        // what passes from outside comes back, the most clearly passing
        // first, each one raising vᵀv by its Ω and r by D before the rest
        // are tested again. So a point set aside only because the fit
        // without it was the tighter comes back.
        double vtv = 0.0;
        for (int i = 0; i < count; ++i)
            if (inFit[i])
                vtv += Check(model, s, i, true).v.squaredNorm();
        bool anyBack = false;
        for (;;) {
            const int rr = D * ne.count - U;
            if (rr <= 0)
                break; // an exact fit says nothing of any other point
            const double criticalOthers = FCriticalValue(alpha, D, rr);
            int best = -1;
            double bestRatio = 1.0, bestOmega = 0.0;
            for (int i = 0; i < count; ++i) {
                if (!candidate[i] || inFit[i])
                    continue;
                const PointCheck<D> c = Check(model, s, i, false);
                if (!c.omega)
                    continue;
                const double ratio = TestValue(*c.omega, D, vtv / rr, floor) / criticalOthers;
                if (ratio <= bestRatio)
                    best = i, bestRatio = ratio, bestOmega = *c.omega;
            }
            if (best < 0)
                break;
            ne.Add(model.Rows(best, ne.centre), 1);
            inFit[best] = anyBack = true;
            vtv += bestOmega;
            s = Solve(model, ne);
            ++result.solves;
        }
        if (!anyBack)
            break;
        ne = Form(model, inFit);
    }

    // The verdicts, under the last fit.
    const int n = ne.count;
    const int r = D * n - U;
    result.inFit = inFit;
    result.fit = s;
    result.used = n;
    result.redundancy = r;
    result.settled = !addOnly;
    for (int i = 0; i < count; ++i)
        if (inFit[i])
            result.vtv += Check(model, s, i, true).v.squaredNorm();
    result.criticalUsed = r > D ? FCriticalValue(alpha, D, r - D) : 0.0;
    result.criticalOthers = r > 0 ? FCriticalValue(alpha, D, r) : 0.0;
    result.points.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        PointVerdict<Model> &p = result.points[i];
        const PointCheck<D> c = Check(model, s, i, inFit[i]);
        p.inFit = inFit[i];
        p.residual = c.v;
        if (inFit[i]) {
            p.redundancy = Eigen::Matrix<double, D, 1>::Ones() - c.H.diagonal();
            p.redundancyMatrix = Eigen::Matrix<double, D, D>::Identity() - c.H;
            p.critical = result.criticalUsed;
            if (c.omega && r > D)
                p.test = TestValue(*c.omega, D, (result.vtv - *c.omega) / (r - D), floor);
        } else {
            p.critical = result.criticalOthers;
            if (c.omega && r > 0)
                p.test = TestValue(*c.omega, D, result.vtv / r, floor);
        }
        p.passed = !p.test || *p.test <= p.critical;
    }
    return result;
}

// Data snooping for a model that is linear only near the point it is
// linearised at, such as a rotation whose scale is held: its Rows give the
// equations in the step from that point, and
//     bool Relinearise(const Fit<Model> &fit);
// moves the point by the step the fit found and says whether it moved by more
// than the model's tolerance. The snooping runs again from where the last one
// ended, at each new point, until the step is within tolerance and the points
// taking part stay (at most `rounds` times); its verdicts are those of the
// last linearisation, whose step is then negligible.
template <class Model>
Snooped<Model> SnoopRelinearised(Model &model, const std::vector<bool> &candidate,
                                 std::vector<bool> inFit, double alpha, int rounds = 10) {
    Snooped<Model> snooped;
    int solves = 0;
    for (int round = 0; round < rounds; ++round) {
        snooped = Snoop(model, candidate, inFit, alpha);
        solves += snooped.solves;
        const bool moved = model.Relinearise(snooped.fit);
        if (!moved && snooped.inFit == inFit)
            break;
        inFit = snooped.inFit;
    }
    snooped.solves = solves;
    return snooped;
}

} // namespace kovarim::lsq
