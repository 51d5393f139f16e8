#include "geodesy/ellipsoid.h"

#include <cmath>

#include "base/ascii.h"
#include "base/error.h"
#include "geodesy/portable_math.h"
#include "geodesy/value_text.h"

namespace kovarim {
namespace {

constexpr const char *kAcceptedEllipsoids =
    "可用的椭球：cgcs2000、wgs84、bj54（克拉索夫斯基）、xian80（IAG-75）或"
    "“长半轴/扁率倒数”（如 6378245/298.3）";

struct Named {
    const char *name;
    const Ellipsoid &(*get)();
};
constexpr Named kNamed[] = {
    {"cgcs2000", Cgcs2000}, {"wgs84", Wgs84}, {"bj54", Beijing54}, {"xian80", Xian80}};

} // namespace

Ellipsoid::Ellipsoid(double a, double inverseFlattening)
    : a_(a), inverseFlattening_(inverseFlattening) {
    // Written so that NaN fails.
    if (!(std::isfinite(a) && a > 0.0))
        throw Error("椭球的长半轴应为正数，而不是 " + ShortestText(a));
    if (!(std::isfinite(inverseFlattening) && inverseFlattening > 1.0))
        throw Error("椭球的扁率倒数应大于 1，而不是 " + ShortestText(inverseFlattening));
    f_ = 1.0 / inverseFlattening;
    b_ = a * (1.0 - f_);
    e2_ = f_ * (2.0 - f_);
    e_ = std::sqrt(e2_);
    e2m_ = (1.0 - f_) * (1.0 - f_); // 1 − e², without the cancellation
    ep2_ = e2_ / e2m_;
    n_ = f_ / (2.0 - f_);

    // Karney (2011), eqs. (14), (35) and (36), as polynomials in n over
    // common integer denominators, in Horner's form.
    const double n = n_, n2 = n * n;
    rectifyingRadius_ = a / (1.0 + n) * (n2 * (n2 * (n2 + 4.0) + 64.0) + 256.0) / 256.0;

    // α₁ = n/2 − 2n²/3 + 5n³/16 + 41n⁴/180 − 127n⁵/288 + 7891n⁶/37800
    alpha_[1] =
        n *
        (n * (n * (n * (n * (31564.0 * n - 66675.0) + 34440.0) + 47250.0) - 100800.0) + 75600.0) /
        151200.0;
    // α₂ = 13n²/48 − 3n³/5 + 557n⁴/1440 + 281n⁵/630 − 1983433n⁶/1935360
    alpha_[2] = n2 *
                (n * (n * ((863232.0 - 1983433.0 * n) * n + 748608.0) - 1161216.0) + 524160.0) /
                1935360.0;
    // α₃ = 61n³/240 − 103n⁴/140 + 15061n⁵/26880 + 167603n⁶/181440
    alpha_[3] = n2 * n * (n * (n * (670412.0 * n + 406647.0) - 533952.0) + 184464.0) / 725760.0;
    // α₄ = 49561n⁴/161280 − 179n⁵/168 + 6601661n⁶/7257600
    alpha_[4] = n2 * n2 * (n * (6601661.0 * n - 7732800.0) + 2230245.0) / 7257600.0;
    // α₅ = 34729n⁵/80640 − 3418889n⁶/1995840
    alpha_[5] = n2 * n2 * n * (3438171.0 - 13675556.0 * n) / 7983360.0;
    // α₆ = 212378941n⁶/319334400
    alpha_[6] = n2 * n2 * n2 * 212378941.0 / 319334400.0;

    // β₁ = n/2 − 2n²/3 + 37n³/96 − n⁴/360 − 81n⁵/512 + 96199n⁶/604800
    beta_[1] = n *
               (n * (n * (n * (n * (384796.0 * n - 382725.0) - 6720.0) + 932400.0) - 1612800.0) +
                1209600.0) /
               2419200.0;
    // β₂ = n²/48 + n³/15 − 437n⁴/1440 + 46n⁵/105 − 1118711n⁶/3870720
    beta_[2] = n2 * (n * (n * ((1695744.0 - 1118711.0 * n) * n - 1174656.0) + 258048.0) + 80640.0) /
               3870720.0;
    // β₃ = 17n³/480 − 37n⁴/840 − 209n⁵/4480 + 5569n⁶/90720
    beta_[3] = n2 * n * (n * (n * (22276.0 * n - 16929.0) - 15984.0) + 12852.0) / 362880.0;
    // β₄ = 4397n⁴/161280 − 11n⁵/504 − 830251n⁶/7257600
    beta_[4] = n2 * n2 * ((-830251.0 * n - 158400.0) * n + 197865.0) / 7257600.0;
    // β₅ = 4583n⁵/161280 − 108847n⁶/3991680
    beta_[5] = n2 * n2 * n * (453717.0 - 435388.0 * n) / 15966720.0;
    // β₆ = 20648693n⁶/638668800
    beta_[6] = n2 * n2 * n2 * 20648693.0 / 638668800.0;

    poleScale_ = std::sqrt(e2m_) * (portable::Expm1(e_ * portable::Atanh(e_)) + 1.0);
}

const Ellipsoid &Cgcs2000() {
    static const Ellipsoid e(6378137.0, 298.257222101);
    return e;
}
const Ellipsoid &Wgs84() {
    static const Ellipsoid e(6378137.0, 298.257223563);
    return e;
}
const Ellipsoid &Beijing54() {
    static const Ellipsoid e(6378245.0, 298.3);
    return e;
}
const Ellipsoid &Xian80() {
    static const Ellipsoid e(6378140.0, 298.257);
    return e;
}

Ellipsoid ParseEllipsoid(std::string_view text) {
    const std::string lower = AsciiLowercase(text);
    for (const Named &named : kNamed)
        if (lower == named.name)
            return named.get();
    const std::string quoted = QuotedForMessage(std::string(text));
    const auto slash = text.find('/');
    if (slash == std::string_view::npos)
        throw Error("无法识别椭球" + quoted + "。" + kAcceptedEllipsoids);
    const auto a = ReadDecimal(text.substr(0, slash));
    const auto rf = ReadDecimal(text.substr(slash + 1));
    if (!a || !rf)
        throw Error("椭球" + quoted + " 的长半轴或扁率倒数不是数值。" + kAcceptedEllipsoids);
    try {
        return Ellipsoid(*a, *rf);
    } catch (const Error &e) {
        throw Error("椭球" + quoted + "：" + e.problem());
    }
}

std::string EllipsoidText(const Ellipsoid &e) {
    for (const Named &named : kNamed)
        if (e == named.get())
            return named.name;
    return ShortestText(e.a()) + "/" + ShortestText(e.inverseFlattening());
}

std::string EllipsoidDescription(const Ellipsoid &e) {
    const std::string numbers = ShortestText(e.a()) + "/" + ShortestText(e.inverseFlattening());
    const std::string text = EllipsoidText(e);
    return text == numbers ? text : text + "（" + numbers + "）";
}

} // namespace kovarim
