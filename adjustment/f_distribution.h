#pragma once

namespace kovarim {

// The F distribution with d1 and d2 degrees of freedom, for the adjustment's
// tests. The standard library has no distribution functions and Eigen none
// either; these follow the regularized incomplete beta function
// (P(F > f) = I_y(d2/2, d1/2) with y = d2 / (d2 + d1·f)), evaluated by its
// continued fraction, good to about ten digits, and to the same bits on
// every system.

// P(F > f) for f ≥ 0 and positive degrees of freedom.
double FUpperTail(double f, double d1, double d2);

// The critical value: the f with P(F > f) = alpha, 0 < alpha < 1.
double FCriticalValue(double alpha, double d1, double d2);

// The χ² distribution with 1, 2 or 3 degrees of freedom (the squared length
// of that many independent standard normal errors), for the robust start's
// scale: P(χ² ≤ x) in closed form, and the x with P(χ² ≤ x) = p, 0 < p < 1.
double ChiSquareLowerTail(double x, int dof);
double ChiSquareQuantile(double p, int dof);

} // namespace kovarim
