#include "conversion/calibration_file.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "base/error.h"
#include "conversion/parameter_file.h"
#include "testkit.h"

namespace kovarim {
namespace {

CalibrationFile Made(const char *from, std::optional<std::string> via, HeightModel model) {
    CalibrationFile f;
    f.source = ParseCalibrationSource(from, via);
    f.params.plane = {-3342918.993654233, -445962.6863239839, 1.866822228491216e-05,
                      -0.005985641940806964};
    f.params.height.model = model;
    if (CoefficientCount(model) > 0) {
        f.params.height.originX = 43387.59080909091;
        f.params.height.originY = 63164.726709090915;
        const double c[6] = {-13.742300501028526, 0.1 + 0.2, -0.0, 1.0 / 3.0, 4.9e-324, 1e300};
        for (int k = 0; k < CoefficientCount(model); ++k)
            f.params.height.c[k] = c[k];
    }
    return f;
}

bool SameBits(const CalibrationParams &a, const CalibrationParams &b) {
    const double x[] = {a.plane.dx,       a.plane.dy,       a.plane.scale,
                        a.plane.rotation, a.height.originX, a.height.originY};
    const double y[] = {b.plane.dx,       b.plane.dy,       b.plane.scale,
                        b.plane.rotation, b.height.originX, b.height.originY};
    return a.height.model == b.height.model && std::memcmp(x, y, sizeof x) == 0 &&
           std::memcmp(a.height.c.data(), b.height.c.data(), sizeof a.height.c) == 0;
}

// Every source and every model reads back to the same doubles, and the proj
// line is there exactly where PROJ can apply the whole road.
TEST(CalibrationFile, ReadsBackTheSameSourceAndDoubles) {
    const struct {
        const char *from;
        std::optional<std::string> via;
    } sources[] = {{"plane", std::nullopt},
                   {"gk:bj54:117,zone=39", std::nullopt},
                   {"blh:wgs84", "gk:cgcs2000:114"},
                   {"blh:wgs84,dms", "gk:6378137/298.257222101:114.5,zone=38,k=0.9999,fe=400000"}};
    for (const auto &s : sources)
        for (HeightModel model : {HeightModel::None, HeightModel::Constant, HeightModel::Plane,
                                  HeightModel::Quadratic}) {
            const std::string name = std::string(s.from) + ", " + HeightModelName(model);
            const CalibrationFile f = Made(s.from, s.via, model);
            testkit::TempDir dir;
            const std::string text = CalibrationFileText(f, {"made by the test"});
            const CalibrationFile back = ReadCalibrationFile(dir.Write("c.txt", text));
            EXPECT_EQ(back.source, f.source) << name;
            EXPECT_TRUE(SameBits(back.params, f.params)) << name << "\n" << text;
            EXPECT_EQ(text.find("proj = ") != std::string::npos, model != HeightModel::Quadratic)
                << name;
            EXPECT_EQ(text.find("# PROJ has no quadratic height surface") != std::string::npos,
                      model == HeightModel::Quadratic)
                << name;
            EXPECT_EQ(text.find("# proj: B and L in decimal degrees") != std::string::npos,
                      std::string(s.from).find("dms") != std::string::npos)
                << name;
            EXPECT_EQ(text.find("via = ") != std::string::npos, s.via.has_value()) << name;
        }
}

TEST(CalibrationFile, IsKeyEqualsValueWithItsKindAndSystems) {
    CalibrationFile f;
    f.source = ParseCalibrationSource("gk:cgcs2000:114", std::nullopt);
    f.params.plane = {10, -20, 2e-6, 0.001};
    f.params.height = {HeightModel::Plane, 1000, 2000, {-12.5, 0.5, -0.25}};
    EXPECT_EQ(CalibrationFileText(f, {"one", "two\r\nkind = x"}),
              "# one\n# two  kind = x\n"
              "kind = site calibration\nfrom = gk:cgcs2000:114\nto = plane\n"
              "dx = 10\ndy = -20\nscale = 2e-06\nrotation = 0.001\n"
              "height = plane\nX0 = 1000\nY0 = 2000\nc0 = -12.5\nc1 = 0.5\nc2 = -0.25\n"
              "proj = +proj=pipeline +step +proj=axisswap +order=2,1 +step +proj=helmert +x=-20 "
              "+y=10 +s=1.000002 +theta=206.26480624709637 +step +proj=axisswap +order=2,1 "
              "+step +proj=affine +zoff=12.5 +s31=-5e-04 +s32=0.00025\n");
}

// A file of the other kind is named as such, not refused for its first key.
TEST(CalibrationFile, AndTheSevenParametersFileTellEachOtherApart) {
    testkit::TempDir dir;
    const std::string seven =
        dir.Write("seven.txt", ParameterFileText(Params{}, "gps.txt", "A", "B", "C"));
    const Error e = testkit::ErrorThrownBy([&] { ReadCalibrationFile(seven); });
    EXPECT_EQ(e.file(), seven);
    EXPECT_NE(e.problem().find("是七参数文件，不是场地校正"), std::string::npos) << e.problem();
    EXPECT_FALSE(IsCalibrationFile(ReadKeyValueFile(seven)));
    const std::string site = dir.Write(
        "site.txt", CalibrationFileText(Made("plane", std::nullopt, HeightModel::None), {}));
    EXPECT_TRUE(IsCalibrationFile(ReadKeyValueFile(site)));
}

// What a calibration file may not hold, each named with its file, its line
// where there is one and its key.
TEST(CalibrationFile, RefusesWhatCannotBeAppliedNamingTheLineAndKey) {
    const std::string good =
        CalibrationFileText(Made("blh:wgs84", "gk:cgcs2000:114", HeightModel::Plane), {"x"});
    const auto replaced = [&](const std::string &what, const std::string &with) {
        std::string text = good;
        const auto at = text.find(what);
        EXPECT_NE(at, std::string::npos) << what;
        return text.replace(at, what.size(), with);
    };
    const auto lineOf = [&](const std::string &text, const std::string &what) {
        const auto at = text.find(what);
        return 1 + static_cast<long long>(std::count(text.begin(), text.begin() + at, '\n'));
    };
    const struct {
        const char *name;
        std::string text;
        const char *lineKey; // the line it names begins so; nullptr: no line
        const char *says;
    } cases[] = {
        {"no kind", replaced("kind = site calibration\n", ""), nullptr, "缺少“kind = site"},
        {"another kind", replaced("kind = site calibration", "kind = helmert"),
         "kind =", "种类 “helmert” 未知"},
        {"a key missing", replaced("dy = ", "# dy = "), nullptr, "缺少键 “dy”"},
        {"a key twice", replaced("dy = ", "dx = 1\ndy = "), "dx = 1", "键 “dx” 出现了两次"},
        {"an unknown key", replaced("dy = ", "dz = 1\ndy = "), "dz = 1", "未知的键 “dz”"},
        {"a key of the seven", replaced("dy = ", "RotZ = 1\ndy = "), "RotZ",
         "键 “RotZ” 属于七参数文件"},
        {"not key = value", replaced("dy = ", "dy\ndy = "), "dy\n", "应为“键 = 值”"},
        {"a value that is no number", replaced("dx = -", "dx = m"), "dx =", "键 “dx” 的值"},
        {"a value beyond the doubles", replaced("dx = -3342918.993654233", "dx = 1e999"),
         "dx =", "超出双精度数的范围"},
        {"a scale of -1", replaced("scale = 1.866822228491216e-05", "scale = -1"),
         "scale =", "m = 1 + scale 不是正数"},
        {"the model auto", replaced("height = plane", "height = auto"),
         "height =", "高程拟合模型 “auto” 未知"},
        {"a coefficient the model has not", replaced("c2 = ", "c3 = 1\nc2 = "), "c3 = 1",
         "不属于高程拟合模型 plane"},
        {"a coefficient missing", replaced("c2 = ", "# c2 = "), nullptr, "缺少键 “c2”"},
        {"an origin without a surface", replaced("height = plane", "height = none"),
         "X0 =", "不属于不拟合高程"},
        {"a source it cannot read", replaced("from = blh:wgs84", "from = blh:moon"),
         "from =", "键 “from” 有误"},
        {"no projection for blh", replaced("via = gk:cgcs2000:114\n", ""),
         "from =", "键 “via” 有误"},
        {"a projection for a plane", replaced("from = blh:wgs84", "from = plane"),
         "via =", "键 “via” 有误"},
        {"a target not a plane", replaced("to = plane", "to = xyz"), "to =", "目标只能是 plane"},
        {"a proj line edited", replaced("+s31=", "+s31=1"), "proj =", "proj 与场地校正参数不一致"},
    };
    testkit::TempDir dir;
    for (const auto &c : cases) {
        const std::string path = dir.Write("c.txt", c.text);
        const Error e = testkit::ErrorThrownBy([&] { ReadCalibrationFile(path); });
        EXPECT_EQ(e.file(), path) << c.name;
        EXPECT_EQ(e.line(), c.lineKey != nullptr ? lineOf(c.text, c.lineKey) : 0)
            << c.name << ": " << e.problem();
        EXPECT_NE(e.problem().find(c.says), std::string::npos) << c.name << ": " << e.problem();
    }
    // A quadratic surface has no proj line: one there was written by hand.
    std::string quadratic =
        CalibrationFileText(Made("plane", std::nullopt, HeightModel::Quadratic), {});
    quadratic += "proj = +proj=noop\n";
    const Error e =
        testkit::ErrorThrownBy([&] { ReadCalibrationFile(dir.Write("q.txt", quadratic)); });
    EXPECT_NE(e.problem().find("不应有 proj 行"), std::string::npos) << e.problem();
}

} // namespace
} // namespace kovarim
