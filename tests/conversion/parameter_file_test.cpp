#include "conversion/parameter_file.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "geodesy/proj_steps.h"
#include "testkit.h"

namespace kovarim {
namespace {

TEST(ParameterFile, ReadsBackTheSameDoubles) {
    const Params cases[] = {
        MakeParams(-117.97494335415509, 75.8680854614416, 41.82308291589629, 5.207676500968739e-06,
                   9.64833484842821e-06, -1.009657959752787e-05, 1.7080288539400027e-05),
        MakeParams(0.1 + 0.2, -0.0, 1e-300, 4.9406564584124654e-324, 1.0 / 3.0, 2.0 / 3.0,
                   std::numeric_limits<double>::max()),
        Params{},
    };
    for (const Params &params : cases) {
        testkit::TempDir dir;
        const std::string path =
            dir.Write("p.txt", ParameterFileText(params, "gps.txt", "A", "石桥", "C"));
        const Params back = ReadParameterFile(path);
        EXPECT_EQ(std::memcmp(back.data(), params.data(), sizeof params), 0)
            << testkit::ReadBytes(path);
    }
}

TEST(ParameterFile, IsKeyEqualsValueWithAProjLine) {
    const std::string text =
        ParameterFileText(MakeParams(1, 2, 3, 1e-6, 0, 0, 0), "gps.txt", "A", "B", "C");
    EXPECT_EQ(text, "# Kovarim seven parameters, estimated from gps.txt with the triple A--B--C\n"
                    "DX = 1\nDY = 2\nDZ = 3\nScale = 1e-06\nRotX = 0\nRotY = 0\nRotZ = 0\n"
                    "proj = +proj=helmert +convention=coordinate_frame +x=1 +y=2 +z=3 +rx=0 "
                    "+ry=0 +rz=0 +s=1\n");
}

// Comments name points, and a quoted name may hold a line end: it must not
// start a line of its own, which the reader would take for a key.
TEST(ParameterFile, KeepsEveryCommentOnItsOwnLine) {
    const Params params = MakeParams(1, 2, 3, 1e-6, 0, 0, 0);
    const std::string text =
        ParameterFileText(params, {"points used: A\r\nDX = 5, B\tC", "second"});
    EXPECT_EQ(text.substr(0, text.find("\nDX = ") + 1),
              "# points used: A  DX = 5, B C\n# second\n");
    testkit::TempDir dir;
    EXPECT_EQ(ReadParameterFile(dir.Write("p.txt", text)), params);
}

// PROJ multiplies its rotations by (1 + s); the string divides that out.
TEST(ProjString, GivesRotationsInArcSecondsDividedByOnePlusScale) {
    const double radiansPerArcSecond = 3.14159265358979323846 / 648000.0;
    const std::string proj =
        ProjString(MakeParams(0, 0, 0, 1.0, 2 * radiansPerArcSecond, 0, -4 * radiansPerArcSecond));
    auto value = [&](const std::string &key) {
        const auto at = proj.find(" +" + key + "=");
        EXPECT_NE(at, std::string::npos) << key;
        return std::strtod(proj.c_str() + at + key.size() + 3, nullptr);
    };
    EXPECT_NEAR(value("rx"), 1.0, 1e-12) << proj;
    EXPECT_NEAR(value("rz"), -2.0, 1e-12) << proj;
    EXPECT_EQ(value("s"), 1e6) << proj;
    EXPECT_EQ(proj.rfind("+proj=helmert +convention=coordinate_frame ", 0), 0u) << proj;
}

TEST(ParameterFile, RefusesBadFilesNamingLineAndKey) {
    const std::string good = "DX = 1\nDY = 2\nDZ = 3\nScale = 0\nRotX = 0\nRotY = 0\nRotZ = 0\n";
    const struct {
        const char *name;
        std::string content;
        long line;
        const char *says;
    } cases[] = {
        {"missing key", "DX = 1\nDY = 2\nDZ = 3\nScale = 0\nRotX = 0\nRotY = 0\n", 0,
         "缺少键 “RotZ”"},
        {"key given twice", "# c\n" + good + "DX = 1.2.3\n", 9, "键 “DX” 出现了两次"},
        {"value not a number", "DX = one\n", 1, "键 “DX” 的值 “one” 不是数值"},
        {"empty value", "DX =\n", 1, "键 “DX” 的值 不是数值"},
        {"unknown key", good + "Scale2 = 1\n", 8, "未知的键 “Scale2”"},
        {"no equals sign", good + "RotZ 0\n", 8, "应为“键 = 值”"},
        {"infinite value", "DZ = 1e999\n", 1, "键 “DZ” 的值 “1e999” 超出双精度数的范围"},
        {"a proj line edited by hand",
         good + "proj = +proj=helmert +convention=coordinate_frame +x=1.5 +y=2 +z=3 +rx=0 "
                "+ry=0 +rz=0 +s=0\n",
         8, "proj 与七个参数不一致"},
        {"a site calibration's file", "# c\nkind = site calibration\n" + good, 2,
         "是场地校正（四参数）参数文件，不是七参数文件"},
        {"a kind of its own", good + "kind = helmert\n", 8, "参数文件的种类 “helmert” 未知"},
        {"a calibration's key without its kind", good + "rotation = 0.1\n", 8,
         "键 “rotation” 属于场地校正参数文件，不属于七参数文件"},
        {"a folder", "<folder>", 0, "是文件夹，不是文件"},
        {"empty file", "", 0, "缺少键 “DX”"},
        {"saved as UTF-16",
         std::string("\xFF\xFE"
                     "D\0X\0 \0=\0 \0"
                     "1\0",
                     14),
         0, "文件是 UTF-16 编码"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        const std::string path =
            c.content == "<folder>" ? dir.Path("") : dir.Write("p.txt", c.content);
        const Error e = testkit::ErrorThrownBy([&] { ReadParameterFile(path); });
        EXPECT_EQ(e.file(), path) << c.name;
        EXPECT_EQ(e.line(), c.line) << c.name;
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
            << c.name << ": " << e.what();
    }
}

// Parameters between other systems than xyz name both, before the seven,
// and their proj line is the whole pipeline; they read back the same.
TEST(ParameterFile, RecordsBothSystemsAndTheWholePipeline) {
    const Params params = MakeParams(-15.4, 157.0, 94.7, 3.58e-6, -1.5e-6, 2.8e-6, -1.0e-5);
    const struct {
        const char *from, *to;
        bool decimalDegreesNote;
    } cases[] = {
        {"blh:wgs84", "gk:bj54:114,zone=38", false},
        {"gk:xian80:117,k=0.9999,fe=0", "blh:cgcs2000", false},
        {"blh:wgs84,dms", "xyz", true},
        {"xyz", "gk:6378137/298.25:114.5", false},
    };
    for (const auto &c : cases) {
        const PointSystems systems{ParseCoordinateSystem(c.from), ParseCoordinateSystem(c.to)};
        const std::string text = ParameterFileText(params, "road.txt", "A", "B", "C", systems);
        const std::string head =
            "# Kovarim seven parameters, estimated from road.txt with the "
            "triple A--B--C\n" +
            std::string(c.decimalDegreesNote ? "# proj: B and L in decimal degrees (PROJ "
                                               "reads no ddd.mmssss)\n"
                                             : "") +
            "from = " + c.from + "\nto = " + c.to + "\nDX = ";
        EXPECT_EQ(text.substr(0, head.size()), head) << c.from;
        EXPECT_NE(text.find("\nproj = " +
                            ProjPipeline(systems.from, ProjString(params), systems.to) + "\n"),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.find("proj = +proj=pipeline +step "), text.find("proj = ")) << text;
        testkit::TempDir dir;
        const std::string path = dir.Write("p.txt", text);
        const ParameterFile back = ReadParameters(path);
        EXPECT_EQ(back.params, params);
        EXPECT_EQ(back.systems, systems) << c.from;
        // What knows only X, Y, Z must not take them.
        const Error e = testkit::ErrorThrownBy([&] { ReadParameterFile(path); });
        EXPECT_NE(std::string(e.what()).find(std::string("参数文件是 ") + c.from + " 到 " + c.to),
                  std::string::npos)
            << e.what();
    }
    // Files of xyz to xyz, with or without the systems said, are what they always were.
    testkit::TempDir dir;
    const std::string plain = ParameterFileText(params, "gps.txt", "A", "B", "C");
    EXPECT_EQ(ParameterFileText(params, "gps.txt", "A", "B", "C", PointSystems{}), plain);
    EXPECT_EQ(plain.find("\nfrom = "), std::string::npos);
    EXPECT_EQ(ReadParameters(dir.Write("p.txt", plain)).systems, PointSystems{});
    EXPECT_EQ(ReadParameters(dir.Write("q.txt", "from = xyz\nto = XYZ\n" + plain)).params, params);
}

TEST(ParameterFile, RefusesSystemsItCannotReadNamingTheLine) {
    const std::string seven = "DX = 1\nDY = 2\nDZ = 3\nScale = 0\nRotX = 0\nRotY = 0\nRotZ = 0\n";
    const struct {
        const char *name;
        std::string content;
        long line;
        const char *says;
    } cases[] = {
        {"from without to", "from = blh:wgs84\n" + seven, 0, "缺少键 “to”"},
        {"to without from", seven + "to = blh:wgs84\n", 0, "缺少键 “from”"},
        {"a system that cannot be read", "# c\nfrom = blh:wgs85\nto = xyz\n" + seven, 2,
         "键 “from”：无法识别坐标系 “blh:wgs85”"},
        {"the accepted forms listed", "from = gk:bj54\nto = xyz\n" + seven, 1, "可用的写法：xyz"},
        {"an empty system", "from = xyz\nto =\n" + seven, 2, "键 “to”：无法识别坐标系"},
        {"to twice", "from = xyz\nto = xyz\nto = blh:bj54\n" + seven, 3, "键 “to” 出现了两次"},
        {"the helmert step alone for other systems",
         "from = blh:wgs84\nto = blh:bj54\n" + seven +
             "proj = +proj=helmert +convention=coordinate_frame +x=1 +y=2 +z=3 +rx=0 +ry=0 "
             "+rz=0 +s=0\n",
         10, "proj 与七个参数及坐标系 from、to 不一致"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        const std::string path = dir.Write("p.txt", c.content);
        const Error e = testkit::ErrorThrownBy([&] { ReadParameters(path); });
        EXPECT_EQ(e.file(), path) << c.name;
        EXPECT_EQ(e.line(), c.line) << c.name;
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
            << c.name << ": " << e.what();
    }
}

// A file name may hold a line end; the comment line must not break over it.
TEST(ParameterFile, KeepsItsCommentOnOneLine) {
    testkit::TempDir dir;
    const Params params = MakeParams(1, 2, 3, 0, 0, 0, 0);
    const std::string path =
        dir.Write("p.txt", ParameterFileText(params, "gps\nDX = 7.txt", "A\r", "B", "C"));
    EXPECT_EQ(ReadParameterFile(path), params) << testkit::ReadBytes(path);
}

TEST(ParameterFile, TakesCrLfCommentsAndAByteOrderMark) {
    testkit::TempDir dir;
    const std::string path =
        dir.Write("p.txt", "\xEF\xBB\xBF# made by hand\r\n\r\n  DX=1\r\nDY = 2\r\nDZ = 3\r\n"
                           "Scale = 0\r\nRotX = 0\r\nRotY = 0\r\n\tRotZ = -5e-6 \r\n");
    EXPECT_EQ(ReadParameterFile(path), MakeParams(1, 2, 3, 0, 0, 0, -5e-6));
}

} // namespace
} // namespace kovarim
