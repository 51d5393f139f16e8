#include "geodesy/transverse_mercator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "base/error.h"
#include "oracle.h"

namespace kovarim {
namespace {

const Ellipsoid &Named(const std::string &name) {
    static const std::map<std::string, const Ellipsoid *> named = {{"cgcs2000", &Cgcs2000()},
                                                                   {"wgs84", &Wgs84()},
                                                                   {"bj54", &Beijing54()},
                                                                   {"xian80", &Xian80()}};
    return *named.at(name);
}

struct Row {
    const Ellipsoid *e;
    double k0, B, l;
    double exactEasting, exactNorthing, exactGamma, exactScale;
    double seriesEasting, seriesNorthing, projEasting, projNorthing;
};

std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (const auto &r : oracle::Rows("transverse_mercator.txt")) {
        Row row{&Named(r[0]), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        double *fields[] = {&row.k0,
                            &row.B,
                            &row.l,
                            &row.exactEasting,
                            &row.exactNorthing,
                            &row.exactGamma,
                            &row.exactScale,
                            &row.seriesEasting,
                            &row.seriesNorthing,
                            &row.projEasting,
                            &row.projNorthing};
        for (std::size_t i = 0; i < std::size(fields); ++i)
            *fields[i] = oracle::Number(r[i + 1]);
        rows.push_back(row);
    }
    return rows;
}

// The requirement: within 0.01 mm of the exact projection up to 6° from the
// central meridian and within 1 mm up to 9°; on all four ellipsoids, from the
// equator to the poles, k0 1 and 0.9996.
TEST(TransverseMercator, IsWithinAHundredthOfAMillimetreOfTheExactProjectionToSixDegrees) {
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 1080u);
    double worstSix = 0.0, worstNine = 0.0, worstGamma = 0.0, worstScale = 0.0;
    for (const Row &r : rows) {
        const GridPoint p = TransverseMercatorForward(*r.e, r.k0, r.B, r.l);
        const double d =
            std::max(std::fabs(p.y - r.exactEasting), std::fabs(p.x - r.exactNorthing));
        (std::fabs(r.l) <= 6.0 ? worstSix : worstNine) =
            std::max(std::fabs(r.l) <= 6.0 ? worstSix : worstNine, d);
        EXPECT_LE(d, std::fabs(r.l) <= 6.0 ? 1e-5 : 1e-3) << r.B << " " << r.l;
        if (std::fabs(r.B) != 90.0) { // γ is l at the poles, whatever the oracles print
            worstGamma = std::max(worstGamma, std::fabs(p.convergence - r.exactGamma));
        }
        worstScale = std::max(worstScale, std::fabs(p.scale - r.exactScale));
    }
    std::printf("worst against the exact projection: %.3g m to 6°, %.3g m to 9°; "
                "γ %.3g°, k %.3g\n",
                worstSix, worstNine, worstGamma, worstScale);
    EXPECT_LE(worstGamma, 1e-9);
    EXPECT_LE(worstScale, 1e-10);
}

// GeographicLib's own sixth-order series and PROJ's tmerc (Poder/Engsager):
// the same series to a few nanometres.
TEST(TransverseMercator, AgreesWithGeographicLibsSeriesAndProjsTmerc) {
    double worstSeries = 0.0, worstProj = 0.0;
    for (const Row &r : Rows()) {
        const GridPoint p = TransverseMercatorForward(*r.e, r.k0, r.B, r.l);
        worstSeries = std::max(
            {worstSeries, std::fabs(p.y - r.seriesEasting), std::fabs(p.x - r.seriesNorthing)});
        if (std::fabs(r.l) <= 6.0)
            worstProj = std::max(
                {worstProj, std::fabs(p.y - r.projEasting), std::fabs(p.x - r.projNorthing)});
    }
    std::printf("worst against GeographicLib's series %.3g m, PROJ's tmerc to 6° %.3g m\n",
                worstSeries, worstProj);
    EXPECT_LE(worstSeries, 1e-8);
    EXPECT_LE(worstProj, 1e-5);
}

// The exact projection's x, y back: the row's B and l (within what the
// series' own error allows), and the forward convergence and scale.
TEST(TransverseMercator, InverseReturnsTheExactProjectionsPointsToTheirLatitudeAndLongitude) {
    double worstSix = 0.0, worstNine = 0.0, worstRoundTrip = 0.0;
    for (const Row &r : Rows()) {
        const GridInverse g =
            TransverseMercatorInverse(*r.e, r.k0, r.exactNorthing, r.exactEasting);
        // Degrees to metres on the ground, roughly.
        const double d =
            111e3 * std::max(std::fabs(g.B - r.B),
                             std::fabs(g.l - r.l) * std::cos(r.B * 0.017453292519943295));
        (std::fabs(r.l) <= 6.0 ? worstSix : worstNine) =
            std::max(std::fabs(r.l) <= 6.0 ? worstSix : worstNine, d);
        EXPECT_LE(d, std::fabs(r.l) <= 6.0 ? 1e-5 : 1e-3) << r.B << " " << r.l;
        if (std::fabs(r.B) != 90.0) {
            EXPECT_NEAR(g.convergence, r.exactGamma, 1e-8) << r.B << " " << r.l;
        }
        EXPECT_NEAR(g.scale, r.exactScale, 1e-9) << r.B << " " << r.l;
        // Forward then back: the series' reversion, to nanometres.
        const GridPoint p = TransverseMercatorForward(*r.e, r.k0, r.B, r.l);
        const GridInverse q = TransverseMercatorInverse(*r.e, r.k0, p.x, p.y);
        const GridPoint back = TransverseMercatorForward(*r.e, r.k0, q.B, q.l);
        worstRoundTrip =
            std::max({worstRoundTrip, std::fabs(back.x - p.x), std::fabs(back.y - p.y)});
        EXPECT_NEAR(q.B, r.B, 1e-12);
        if (std::fabs(r.B) != 90.0) {
            EXPECT_NEAR(q.l, r.l, 1e-12);
        }
    }
    std::printf("worst inverse against the exact projection: %.3g m to 6°, %.3g m to 9°; "
                "forward-back-forward %.3g m\n",
                worstSix, worstNine, worstRoundTrip);
    EXPECT_LE(worstRoundTrip, 1e-8);
}

// UTM on WGS84 (k0 = 0.9996, 500 km false easting, 10 000 km false northing
// in the south), against GeographicLib's GeoConvert.
TEST(TransverseMercator, GivesGeoConvertsUniversalTransverseMercator) {
    const auto rows = oracle::Rows("utm.txt");
    ASSERT_EQ(rows.size(), 8u);
    for (const auto &r : rows) {
        const double B = oracle::Number(r[0]), L = oracle::Number(r[1]);
        const int zone = std::stoi(r[2]);
        const bool south = r[2].back() == 's';
        const GridPoint p = TransverseMercatorForward(Wgs84(), 0.9996, B, L - (6 * zone - 183));
        EXPECT_NEAR(p.y + 500000.0, oracle::Number(r[3]), 1e-8) << B << " " << L;
        EXPECT_NEAR(p.x + (south ? 1e7 : 0.0), oracle::Number(r[4]), 1e-8) << B << " " << L;
    }
}

TEST(TransverseMercator, IsOddInLatitudeAndLongitude) {
    for (double B : {0.0, 12.5, 45.0, 89.0})
        for (double l : {0.0, 1.5, 3.0, 8.9}) {
            const GridPoint p = TransverseMercatorForward(Beijing54(), 1.0, B, l);
            const GridPoint q = TransverseMercatorForward(Beijing54(), 1.0, -B, -l);
            EXPECT_EQ(q.x, -p.x);
            EXPECT_EQ(q.y, -p.y);
            EXPECT_EQ(q.convergence, p.convergence);
        }
}

TEST(TransverseMercator, RefusesWhatLiesOutsideItsDomain) {
    const struct {
        const char *what;
        bool forward;
        double k0, a, b;
    } cases[] = {
        {"latitude beyond 90", true, 1.0, 90.0000001, 0.0},
        {"longitude beyond 45", true, 1.0, 0.0, 45.1},
        {"NaN latitude", true, 1.0, std::nan(""), 0.0},
        {"NaN longitude", true, 1.0, 0.0, std::nan("")},
        {"scale zero", true, 0.0, 0.0, 0.0},
        {"scale NaN", false, std::nan(""), 0.0, 0.0},
        {"northing beyond the quarter meridian", false, 1.0, 10002000.0, 0.0},
        {"easting beyond A", false, 1.0, 0.0, 6.4e6},
        {"NaN easting", false, 1.0, 0.0, std::nan("")},
        {"infinite northing", false, 1.0, std::numeric_limits<double>::infinity(), 0.0},
    };
    for (const auto &c : cases) {
        if (c.forward)
            EXPECT_THROW(TransverseMercatorForward(Wgs84(), c.k0, c.a, c.b), Error) << c.what;
        else
            EXPECT_THROW(TransverseMercatorInverse(Wgs84(), c.k0, c.a, c.b), Error) << c.what;
    }
    // The edges themselves are inside.
    EXPECT_NO_THROW(TransverseMercatorForward(Wgs84(), 1.0, 90.0, 45.0));
    EXPECT_NO_THROW(TransverseMercatorInverse(Wgs84(), 1.0, 10001965.7293, 0.0));
}

} // namespace
} // namespace kovarim

namespace kovarim {
namespace {

// What the conversions ask for, without convergence and scale, comes out to
// the same bits as with them, over the whole domain and on every ellipsoid.
TEST(TransverseMercator, GivesTheSamePositionWithoutConvergenceAndScale) {
    std::mt19937_64 random(41);
    std::uniform_real_distribution<double> latitude(-90.0, 90.0), longitude(-9.5, 9.5);
    for (const Ellipsoid *e : {&Cgcs2000(), &Wgs84(), &Beijing54(), &Xian80()})
        for (int i = 0; i < 20000; ++i) {
            const double B = i == 0 ? 90.0 : latitude(random), l = longitude(random);
            const double k0 = i % 2 == 0 ? 1.0 : 0.9996;
            const GridPoint full = TransverseMercatorForward(*e, k0, B, l);
            const GridPoint position = TransverseMercatorForward(*e, k0, B, l, false);
            ASSERT_EQ(std::bit_cast<std::uint64_t>(position.x),
                      std::bit_cast<std::uint64_t>(full.x));
            ASSERT_EQ(std::bit_cast<std::uint64_t>(position.y),
                      std::bit_cast<std::uint64_t>(full.y));
            const GridInverse back = TransverseMercatorInverse(*e, k0, full.x, full.y);
            const GridInverse geodetic = TransverseMercatorInverse(*e, k0, full.x, full.y, false);
            ASSERT_EQ(std::bit_cast<std::uint64_t>(geodetic.B),
                      std::bit_cast<std::uint64_t>(back.B));
            ASSERT_EQ(std::bit_cast<std::uint64_t>(geodetic.l),
                      std::bit_cast<std::uint64_t>(back.l));
        }
}

} // namespace
} // namespace kovarim
