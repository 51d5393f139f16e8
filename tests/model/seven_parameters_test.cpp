#include "model/seven_parameters.h"

#include <cmath>

#include <gtest/gtest.h>

#include "base/error.h"

namespace kovarim {
namespace {

Params Only(int index, double value) {
    Params p{};
    p[index] = value;
    return p;
}

TEST(TransformPoint, FollowsTheSignConventionsOfEachParameter) {
    const struct {
        const char *name;
        Params params;
        Point3 in, out;
    } cases[] = {
        {"all zero is the identity",
         Params{},
         {2860321.78, 592341.79, 12.345},
         {2860321.78, 592341.79, 12.345}},
        {"translations", MakeParams(1, 2, 3, 0, 0, 0, 0), {10, 20, 30}, {11, 22, 33}},
        {"scale", Only(Scale, 0.000001), {1000000, 0, 0}, {1000001, 0, 0}},
        {"RotZ, Y into X", Only(RotZ, 0.000001), {0, 1000000, 0}, {1, 1000000, 0}},
        {"RotZ, X into Y", Only(RotZ, 0.000001), {1000000, 0, 0}, {1000000, -1, 0}},
        {"RotX, Z into Y", Only(RotX, 0.000001), {0, 0, 1000000}, {0, 1, 1000000}},
        {"RotX, Y into Z", Only(RotX, 0.000001), {0, 1000000, 0}, {0, 1000000, -1}},
        {"RotY, Z into X", Only(RotY, 0.000001), {0, 0, 1000000}, {-1, 0, 1000000}},
        {"RotY, X into Z", Only(RotY, 0.000001), {1000000, 0, 0}, {1000000, 0, 1}},
    };
    for (const auto &c : cases) {
        const Point3 out = TransformPoint(c.params, c.in.X, c.in.Y, c.in.Z);
        EXPECT_EQ(out.X, c.out.X) << c.name;
        EXPECT_EQ(out.Y, c.out.Y) << c.name;
        EXPECT_EQ(out.Z, c.out.Z) << c.name;
    }
}

// Published points in the coordinate-frame convention with small rotations,
// held against this model to catch a sign or unit slip. Rotations are given in
// arc-seconds and scale in ppm; PROJ's helmert also multiplies its rotations by
// (1 + s), which moves these points by less than 0.01 µm.
TEST(TransformPoint, AgreesWithPublishedHelmertExamples) {
    constexpr double arcSecond = 3.14159265358979323846 / 648000.0, ppm = 1e-6;
    const struct {
        const char *source;
        Params params;
        Point3 in, out;
        double tolerance; // metres
    } cases[] = {
        // L. Jivall, "Simplified transformations from ITRF2008/IGS08 to ETRS89
        // for maritime applications"; PROJ test/gie/more_builtins.gie, the
        // first helmert example (convention=coordinate_frame, tolerance 1 um).
        {"Jivall, ITRF2008 to ETRS89",
         MakeParams(0.67678, 0.65495, -0.52827, -0.01070 * ppm, -0.022742 * arcSecond,
                    0.012667 * arcSecond, 0.022704 * arcSecond),
         {3565285.0, 855949.0, 5201383.0},
         {3565285.41342351, 855948.67986759, 5201382.72939791},
         1e-6},
    };
    for (const auto &c : cases) {
        const Point3 out = TransformPoint(c.params, c.in.X, c.in.Y, c.in.Z);
        EXPECT_NEAR(out.X, c.out.X, c.tolerance) << c.source;
        EXPECT_NEAR(out.Y, c.out.Y, c.tolerance) << c.source;
        EXPECT_NEAR(out.Z, c.out.Z, c.tolerance) << c.source;
    }
}

TEST(TransformPoint, EvaluatesInTheFixedOrder) {
    // Values whose sum depends on the order of the additions.
    const Params p = MakeParams(-48.683200844512584, 0.2, 0.3, 6.749381641929201e-06, 3e-6,
                                -4.812919713439847e-06, -5.313380779066073e-06);
    const double X = 2860321.78, Y = 592341.79, Z = 32.76442961990655;
    EXPECT_EQ(TransformX(p, X, Y, Z), (((X * p[4] + p[1]) - Z * p[6]) + Y * p[7]) + X);
    EXPECT_EQ(TransformY(p, X, Y, Z), (((Y * p[4] + p[2]) + Z * p[5]) - X * p[7]) + Y);
    EXPECT_EQ(TransformZ(p, X, Y, Z), (((Z * p[4] + p[3]) - Y * p[5]) + X * p[6]) + Z);
    // Another order gives other bits here, so the test above can tell them apart.
    EXPECT_NE(TransformX(p, X, Y, Z), X + p[1] + p[4] * X + p[7] * Y - p[6] * Z);
}

TEST(TransformPoint, FailsInsteadOfReturningAnOverflow) {
    EXPECT_THROW(TransformX(Only(Scale, 10.0), 1e308, 0, 0), Error);
    EXPECT_THROW(TransformY(Only(DY, 1e308), 0, 1e308, 0), Error);
    EXPECT_THROW(TransformZ(Only(RotY, 1e300), 1e300, 0, 0), Error);
}

TEST(RoundCoordinate, RoundsToThreePlacesWithHalvesToEven) {
    const struct {
        double in, out;
    } cases[] = {
        {0.0625, 0.062},  {0.1875, 0.188},     {-0.0625, -0.062}, {2860321.78, 2860321.78},
        {1.23456, 1.235}, {300.4567, 300.457}, {-1e-9, -0.0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RoundCoordinate(c.in), c.out) << c.in;
}

TEST(RoundToPlaces, RoundsResidualsToFivePlaces) {
    EXPECT_EQ(RoundToPlaces(0.0000151, 5), 0.00002);
    EXPECT_EQ(RoundToPlaces(0.000004, 5), 0.0);
    EXPECT_EQ(RoundToPlaces(0.0625, 3), 0.062); // 62.5 → 62, the even neighbour
    EXPECT_EQ(RoundToPlaces(-0.123456789, 5), -0.12346);
    EXPECT_THROW(RoundToPlaces(1e306, 3), Error);
}

} // namespace
} // namespace kovarim
