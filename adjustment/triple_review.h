#pragma once

#include <optional>
#include <string>

#include "adjustment/adjustment.h"
#include "estimation/common_points.h"
#include "estimation/triple_search.h"
#include "model/seven_parameters.h"

// A second look at the best triple. Its parameters fit three points and
// nothing else; a thin triangle closes well almost by construction, and then
// converts the other points decimetres off. After every estimation the
// adjustment runs on the same points (data snooping at the default α, no
// check points; a few milliseconds), and the triple is weak when some point
// the adjustment used is off under the triple's parameters by
// kWeakTripleRatio times the adjustment's σ0 or more: under least squares a
// residual of that size has a chance of about 2·10⁻⁹, so it is the triple's
// parameters, not the point, that are off (and the residual must show in the
// accuracy report, 0.00001 or more). The window then asks whether to
// convert with the adjusted parameters; kovarim-cli estimate says it. Only
// an adjustment whose every point passes its test is offered.
namespace kovarim {

inline constexpr double kWeakTripleRatio = 6.0;

struct WeakTriple {
    int point = 0;       // the used point with the largest residual under the triple's parameters
    char axis = 'X';     // and its axis
    double residual = 0; // that residual, computed − given
    double sigma0 = 0;   // the adjustment's (never below the coordinates' rounding)
    double ratio = 0;    // |residual| / sigma0
};

// Whether `tripleParams` fit the points `adjustment` used clearly worse than
// it does: nothing when every residual is within kWeakTripleRatio·σ0.
std::optional<WeakTriple> FindWeakTriple(const CommonPointTable &table, const Params &tripleParams,
                                         const Adjustment &adjustment);

// The finding in one line of Chinese (UTF-8): the point, axis and residual,
// σ0, how many points the adjustment used and which it found to be blunders.
std::string WeakTripleFinding(const CommonPointTable &table, const Adjustment &adjustment,
                              const WeakTriple &weak);

struct TripleReview {
    Adjustment adjustment;
    WeakTriple weak;
};

// The second look after an estimation of `table` with the triple `choice`
// (whose parameters are `tripleParams`): nothing when the triple passes, or
// when the adjustment cannot run (fewer than four points, a singular
// geometry), when some point it used fails its test (four points, one of
// them a blunder), or when it fails in any other way. Never searches again.
std::optional<TripleReview> ReviewTriple(const CommonPointTable &table, const TripleChoice &choice,
                                         const Params &tripleParams);

} // namespace kovarim
