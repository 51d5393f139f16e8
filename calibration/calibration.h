#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "adjustment/adjustment.h"
#include "estimation/common_points.h"
#include "model/seven_parameters.h"

namespace kovarim {

// Site calibration: four parameters between two planes, and a surface fitted
// to the height differences.
//
// The points. A CommonPointTable whose x1, y1 are the source point on a plane
// (projected by the caller: x north, y east, metres) and z1 its height H;
// x2, y2 the local plane's X (north), Y (east) and z2 the local height h.
//
// The plane. X = dx + a·x − b·y, Y = dy + b·x + a·y, a = m·cos α, b = m·sin α,
// m = 1 + scale. A positive α turns +x towards +y (clockwise on a map whose x
// is north). Fitted by least squares with equal weights on X and Y (the
// source taken as exact), both sides reduced to the centroids of the points
// taking part: grid coordinates sit 3.5·10⁶ m from the data, and unreduced
// normal equations lose a fraction of a millimetre in dx. With the scale
// held (fixedScale, m = 1) the model is not linear in α: it is linearised at
// the free fit's α and again at each new one until the step vanishes.
//
// The height. ζ = H − h as a surface over the local plane (HeightSurface).
// Its points are those of the plane less the check points; each fit finds
// its own blunders, so a point whose plan is wrong may still give its height.
//
// Blunders (adjustment/robust_start.h, adjustment/snooping.h): in each fit a
// robust start by least median of squares over well-shaped minimal subsets
// (pairs of points for the plane, 1, 3 or 6 points for the surface), then
// data snooping with one test per point, F = (Ω/D)/s² against F(α; D, r − D),
// D = 2 for the plane and 1 for the height. Never fewer points take part
// than the model needs plus one. Check points (by name) take part in
// neither fit; their residuals and RMS are reported apart.

// The four parameters as a conversion applies them.
struct PlaneParams {
    double dx = 0.0, dy = 0.0; // metres, X and Y of the source plane's origin
    double scale = 0.0;        // m − 1, a plain ratio (0: no change of scale, not ppm)
    double rotation = 0.0;     // α, radians (not arc-seconds)
};

enum class HeightModel { Auto, None, Constant, Plane, Quadratic };

// ζ(X, Y) = c0 + c1·u + c2·v + c3·u² + c4·u·v + c5·v² with u = (X − originX)/1000
// and v = (Y − originY)/1000, kilometres on the local plane; a constant has
// c0 only, a plane c0 to c2; unused coefficients are 0. c0 in metres, c1 and
// c2 in metres per kilometre, c3 to c5 in metres per square kilometre. None:
// no surface, heights pass unchanged (h = H).
inline constexpr double kHeightSurfaceUnit = 1000.0; // metres in a unit of u and v
struct HeightSurface {
    HeightModel model = HeightModel::None;
    double originX = 0.0, originY = 0.0; // metres, local plane
    std::array<double, 6> c{};
};

// The coefficients a model has: 0, 1, 3 or 6 (0 for None and Auto).
int CoefficientCount(HeightModel model);
// "auto", "none", "constant", "plane", "quadratic": the names the command
// line and the scripts use.
const char *HeightModelName(HeightModel model);
// ζ at X, Y (metres, local plane), 0 without a surface.
double HeightAnomaly(const HeightSurface &surface, double X, double Y);

struct CalibrationParams {
    PlaneParams plane;
    HeightSurface height;
};

// Refuses what no conversion can apply: a scale m = 1 + scale that is not
// positive, a value that is not finite, a surface of model Auto. Throws Error.
void CheckCalibrationParams(const CalibrationParams &p);

// The source plane's x, y and height H (metres) to the local plane's X, Y
// and height h = H − ζ(X, Y). Throws Error for parameters CheckCalibrationParams
// refuses and for a result that is not finite.
Point3 CalibrateForward(const CalibrationParams &p, double x, double y, double H);
// The exact inverse: X, Y, h to x, y and H = h + ζ(X, Y); x, y solve the
// forward plane's 2 × 2 system in closed form, refined once against the
// forward map as evaluated, so that a round trip comes back to within a unit
// in the last place where a − 1 and b are small (any site calibration); a
// plane turned far or scaled far rounds at its sums' size already forward.
Point3 CalibrateInverse(const CalibrationParams &p, double X, double Y, double h);
// Either, as the direction says: Forward takes x, y, H; Inverse X, Y, h.
Point3 ApplyCalibration(const CalibrationParams &p, Direction direction, double a, double b,
                        double c);

// The readable forms of the plane's scale and rotation.
inline double ToPpm(double scale) { return scale * 1e6; }
inline double ToArcSeconds(double radians) { return radians * (648000.0 / 3.14159265358979323846); }

// The systems as the caller names them (UTF-8), for the report and the
// scripts: `via` is the projection that took the source to its plane, empty
// where the source was a plane already.
struct CalibrationSystems {
    std::string from, via, to;
};

struct CalibrationOptions {
    HeightModel height = HeightModel::Auto;
    bool fixedScale = false;
    double alpha = kDefaultAlpha;        // per test, kSmallestAlpha to kLargestAlpha
    std::vector<std::string> checkNames; // UTF-8; every point of such a name is held out
    CalibrationSystems systems;
};

// One point in one fit.
struct FitVerdict {
    PointState state = PointState::Used;
    bool setAsideAtStart = false; // by the robust start (it may have come back)
    bool passed = true;           // no test, or a test within its critical value
    std::optional<double> test;   // F; nothing where the point cannot be tested
    double critical = 0.0;        // the critical value its test is held against
};

struct CalibratedPoint {
    // Computed − given under the final parameters, as CalibrateForward gives
    // them: X, Y and h (without a surface h = H, so H − h).
    std::array<double, 3> residual{};
    // Redundancy numbers of X and Y in the plane's fit and of h in the
    // height's, where the point takes part; 0 otherwise.
    std::array<double, 3> redundancy{};
    FitVerdict plane, height; // without a surface every point's height is Used and untested

    // Check; Blunder where either fit set the point aside; else Used.
    PointState State() const;
};

// What one fit says of itself.
struct FitSummary {
    int used = 0, blunders = 0;
    int failedButKept = 0;        // used points that fail their test: none could be spared
    int redundancy = 0;           // r = D·n − U
    std::optional<double> sigma0; // nothing without redundancy
    double criticalUsed = 0.0;    // F(α; D, r − D); 0 where r ≤ D
    double criticalOthers = 0.0;  // F(α; D, r); 0 where r = 0
    bool settled = true;          // false when the snooping went round in a circle
    // The robust start: none with fewer than the subset's size plus 2 points.
    bool robustStart = false;
    std::vector<int> startSubset; // its point numbers (from 1)
    double startShape = 0.0;      // that subset's shape (see the models)
    double startShapeLimit = 0.0; // what a subset's shape had to reach
    int subsetsFitted = 0;
    double robustScale = 0.0; // σ̂
    double robustLimit = 0.0; // the length of a residual vector beyond which a point waited
    int setAsideAtStart = 0;
    int solves = 0;
};

struct PlaneCalibration {
    bool fixedScale = false;
    PlaneParams params; // origin form, as the conversions apply it
    PlaneParams sigma;  // their standard deviations (0 for a held scale, and without redundancy)
    // Correlations of the origin form, rows and columns dx, dy, scale,
    // rotation (from the cofactors alone, so also without redundancy); a
    // held scale's row and column are 0.
    std::array<std::array<double, 4>, 4> correlation{};
    // The centroid form: X = X̄ + a·(x − x̄) − b·(y − ȳ), Y = Ȳ + b·(x − x̄) + a·(y − ȳ)
    // with x̄, ȳ the centroid of the points used on the source plane and
    // X̄, Ȳ its image; the standard deviations of X̄, Ȳ (σ0/√n) are far
    // smaller than those of dx, dy, which carry the rotation's 3000 km lever.
    std::array<double, 2> centroid{};      // x̄, ȳ
    std::array<double, 2> centroidLocal{}; // X̄, Ȳ
    std::array<double, 2> centroidLocalSigma{};
    FitSummary fit;
};

struct HeightCalibration {
    HeightModel asked = HeightModel::Auto;
    HeightSurface surface;         // model None: nothing fitted
    std::array<double, 6> sigma{}; // of the coefficients (0 without redundancy)
    // Auto took a poorer surface than the count of points offered because
    // the points' geometry (on a line, on a conic) leaves the richer undetermined.
    bool steppedDown = false;
    FitSummary fit;
};

struct SiteCalibration {
    CalibrationSystems systems;
    double alpha = kDefaultAlpha;
    PlaneCalibration plane;
    HeightCalibration height;
    int checks = 0;
    std::array<double, 3> checkRms{};    // of the check points' residuals X, Y, h
    double checkRmsPlan = 0.0;           // √(Σ(vX² + vY²) / m)
    std::vector<CalibratedPoint> points; // file order: points[n − 1] is point n

    CalibrationParams Params() const { return {plane.params, height.surface}; }
};

// The whole calibration of a table read from `path` (named in the messages):
// the check points found by name, then CalibrateTable. Throws Error naming the
// file for a check name that no point has, fewer points than the models need
// (saying how many there are and what needs them), a geometry that leaves a
// model undetermined (all points in one place for the plane; on a line for a
// height plane, on a conic for a quadratic, unless auto takes a poorer
// surface), a scale that comes out not positive, numbers too large, or an
// alpha outside [kSmallestAlpha, kLargestAlpha].
SiteCalibration Calibrate(const CommonPointTable &table, const CalibrationOptions &options,
                          const std::string &path);

// The calibration proper. `heldOut[n − 1]` marks point n a check point
// (options.checkNames is not looked at). Errors as Calibrate, without the file.
SiteCalibration CalibrateTable(const CommonPointTable &table, const std::vector<bool> &heldOut,
                               const CalibrationOptions &options);

} // namespace kovarim
