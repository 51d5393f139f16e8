#include "adjustment/triple_review.h"

#include <string>

#include <gtest/gtest.h>

#include "estimation/common_points.h"
#include "estimation/estimate.h"
#include "testkit.h"
#include "textio/encoding.h"

namespace kovarim {
namespace {

CommonPointTable Example(const std::string &name) {
    return ReadCommonPointFile(KOVARIM_SOURCE_DIR "/examples/" + name);
}

// `table` with every new coordinate's departure from `p` shrunk by `factor`.
CommonPointTable Shrunk(const CommonPointTable &table, const Params &p, double factor) {
    CommonPointTable shrunk;
    for (int n = 1; n <= table.PointCount(); ++n) {
        CommonPoint q = table.Point(n);
        const Point3 to = TransformPoint(p, q.x1, q.y1, q.z1);
        q.x2 = to.X + (q.x2 - to.X) * factor;
        q.y2 = to.Y + (q.y2 - to.Y) * factor;
        q.z2 = to.Z + (q.z2 - to.Z) * factor;
        shrunk.Add(q);
    }
    return shrunk;
}

std::optional<TripleReview> Review(const CommonPointTable &table) {
    const TripleChoice choice = FindBestTriple(table, {});
    const auto solved = SolveChosenTriple(table, choice);
    EXPECT_TRUE(solved);
    return ReviewTriple(table, choice, ParametersOf(*solved));
}

TEST(ReviewTriple, FindsTheWeakTripleOfTheExample) {
    const CommonPointTable table = Example("weak_triple.txt");
    const auto review = Review(table);
    ASSERT_TRUE(review);
    EXPECT_EQ(ToUtf8(table.Point(review->weak.point).Name, Encoding::Gbk), "李村");
    EXPECT_EQ(review->weak.axis, 'Z');
    EXPECT_NEAR(review->weak.residual, -4.51119, 5e-6);
    EXPECT_GT(review->weak.ratio, 1000);
    EXPECT_EQ(
        WeakTripleFinding(table, review->adjustment, review->weak),
        "用最优三点的七参数，平差所用的点 李村 的 Z 残差为 -4.51119，是最小二乘平差单位权中误差 "
        "σ0 = 0.00284 的 1590 倍；最小二乘平差用了 12 个点，没有粗差");
}

// Nothing to say: a sound triple (the example, whose blunder the adjustment
// finds), an adjustment whose fourth point fails and had to stay, and a
// network whose misses are far below what the report prints (the weak
// example's departures shrunk ten million times: 0.45 µm).
TEST(ReviewTriple, SaysNothingWhereThereIsNothingToOffer) {
    const CommonPointTable weak = Example("weak_triple.txt");
    const Params adjusted = AdjustTable(weak, {}, kDefaultAlpha).params;
    CommonPointTable four;
    for (const auto &line : {"2862794.692,590955.437,58.479,2862701.713,590985.485,65.686",
                             "2861667.998,589872.829,120.904,2861574.997,589902.889,128.138",
                             "2858170.107,594743.056,47.629,2858078.180,594773.194,54.861",
                             "2859928.894,589523.094,144.595,2859835.879,589553.188,151.852"}) {
        double v[6];
        std::sscanf(line, "%lf,%lf,%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
        four.Add({"P", FieldKind::Text, 0, v[0], v[1], v[2], v[3], v[4], v[5]});
    }
    const struct {
        const char *name;
        CommonPointTable table;
    } cases[] = {
        {"the example", Example("common_points.txt")},
        {"four points, one failing", four},
        {"misses below the report's last digit", Shrunk(weak, adjusted, 1e-7)},
    };
    for (const auto &c : cases)
        EXPECT_FALSE(Review(c.table)) << c.name;
    // A thousand times shrunk, the miss is 4.5 mm, and said.
    EXPECT_TRUE(Review(Shrunk(weak, adjusted, 1e-3)));
}

} // namespace
} // namespace kovarim
