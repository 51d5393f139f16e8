#include "adjustment/triple_review.h"

#include <cmath>

#include "adjustment/adjustment_report.h"
#include "base/error.h"
#include "textio/encoding.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

// A name of the table (GBK) for a message.
std::string Shown(const std::string &gbk) {
    const std::string utf8 = ToUtf8(gbk, Encoding::Gbk);
    return utf8.empty() && !gbk.empty() ? "?" : utf8;
}

// Blunders named up to this many; beyond, their count.
constexpr int kNamedBlunders = 10;

} // namespace

std::optional<WeakTriple> FindWeakTriple(const CommonPointTable &table, const Params &tripleParams,
                                         const Adjustment &adjustment) {
    WeakTriple weak;
    weak.sigma0 = std::max(adjustment.sigma0, RoundingUnit(table));
    double largest = -1.0;
    for (int n = 1; n <= table.PointCount(); ++n) {
        if (adjustment.points[n - 1].state != PointState::Used)
            continue;
        const CommonPoint &q = table.Point(n);
        const double v[3] = {TransformX(tripleParams, q.x1, q.y1, q.z1) - q.x2,
                             TransformY(tripleParams, q.x1, q.y1, q.z1) - q.y2,
                             TransformZ(tripleParams, q.x1, q.y1, q.z1) - q.z2};
        for (int k = 0; k < 3; ++k)
            if (std::fabs(v[k]) > largest) {
                largest = std::fabs(v[k]);
                weak.point = n, weak.axis = "XYZ"[k], weak.residual = v[k];
            }
    }
    weak.ratio = largest / weak.sigma0;
    if (weak.point == 0 || !(weak.ratio >= kWeakTripleRatio))
        return std::nullopt;
    // A residual the accuracy report prints as 0 is no finding, however
    // small σ0 (exact data): nobody could see what the question is about.
    if (RoundToPlaces(largest, 5) == 0.0)
        return std::nullopt;
    return weak;
}

std::string WeakTripleFinding(const CommonPointTable &table, const Adjustment &adjustment,
                              const WeakTriple &weak) {
    std::string text =
        "用最优三点的七参数，平差所用的点 " + Shown(table.Point(weak.point).Name) + " 的 " +
        weak.axis + " 残差为 " + FormatNumber(RoundToPlaces(weak.residual, 5)) +
        "，是最小二乘平差单位权中误差 σ0 = " + FormatNumber(RoundToSignificant(weak.sigma0, 4)) +
        " 的 " + FormatNumber(RoundToSignificant(weak.ratio, 3)) + " 倍；最小二乘平差用了 " +
        std::to_string(adjustment.used) + " 个点，";
    if (adjustment.blunders == 0)
        return text + "没有粗差";
    text += "剔除粗差 " + std::to_string(adjustment.blunders) + " 个：";
    int named = 0;
    for (int n = 1; n <= table.PointCount() && named < kNamedBlunders; ++n)
        if (adjustment.points[n - 1].state == PointState::Blunder)
            text += (named++ > 0 ? "、" : "") + Shown(table.Point(n).Name);
    if (adjustment.blunders > named)
        text += " 等";
    return text;
}

std::optional<TripleReview> ReviewTriple(const CommonPointTable &table, const TripleChoice &choice,
                                         const Params &tripleParams) {
    try {
        TripleReview review;
        review.adjustment = AdjustTable(table, {}, kDefaultAlpha, &choice);
        // An adjustment whose own points do not all pass is no better
        // footing: a point that fails but had to stay, or a search that went
        // round in a circle, would be offered as the cure.
        if (review.adjustment.failedButKept > 0 || !review.adjustment.settled)
            return std::nullopt;
        const auto weak = FindWeakTriple(table, tripleParams, review.adjustment);
        if (!weak)
            return std::nullopt;
        review.weak = *weak;
        return review;
    } catch (const std::exception &) {
        return std::nullopt; // the adjustment cannot run: nothing to say
    }
}

} // namespace kovarim
