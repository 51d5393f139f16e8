#pragma once

#include <string_view>

namespace kovarim::gbk {

// The accuracy report's fixed texts, as GBK bytes, each beside its readable
// text. The program writes the bytes; a test checks them against iconv.
struct Text {
    std::string_view bytes;    // GBK
    std::string_view readable; // UTF-8
};

// line 1, before the point count
inline constexpr Text kTotalOf{"\xD7\xDC\xB9\xB2\xD3\xD0", "总共有"};
// line 1, after the point count
inline constexpr Text kCommonPointsBestThree{
    "\xB8\xF6\xB9\xAB\xB9\xB2\xB5\xE3\xD7\xCA\xC1\xCF,"
    "\xD2\xD4\xD7\xEE\xD3\xC5\xB5\xC4\xC8\xFD\xB8\xF6\xB9\xAB\xB9\xB2\xB5\xE3(",
    "个公共点资料,以最优的三个公共点("};
// line 1, end
inline constexpr Text kComputedSevenParams{")\xBC\xC6\xCB\xE3\xC6\xDF\xB2\xCE\xCA\xFD",
                                           ")计算七参数"};
// line 2
inline constexpr Text kEquationNumber{"\xB7\xBD\xB3\xCC\xD7\xE9\xD0\xF2\xBA\xC5", "方程组序号"};
// line 2
inline constexpr Text kPointEquation{"  \xB5\xE3\xBA\xC5-\xD7\xE9\xD0\xF2\xBA\xC5",
                                     "  点号-组序号"};
// line 2, at column 24
inline constexpr Text kSevenParams{"   \xC6\xDF\xB2\xCE\xCA\xFD", "   七参数"};
// line 11
inline constexpr Text kResidualTitle{"======================\xB2\xD0\xB2\xEE\xB7\xD6\xCE\xF6"
                                     "DXDYDZ======================",
                                     "======================残差分析DXDYDZ======================"};
// line 12
inline constexpr Text kPointName{"\xB5\xE3\xBA\xC5", "点号"};
// line 12, column 20
inline constexpr Text kXResidual{"X\xB2\xD0\xB2\xEE", "X残差"};
// line 12, column 32
inline constexpr Text kYResidual{"Y\xB2\xD0\xB2\xEE", "Y残差"};
// line 12, column 44
inline constexpr Text kZResidual{"Z\xB2\xD0\xB2\xEE", "Z残差"};

inline constexpr Text kAll[] = {
    kTotalOf,     kCommonPointsBestThree, kComputedSevenParams, kEquationNumber, kPointEquation,
    kSevenParams, kResidualTitle,         kPointName,           kXResidual,      kYResidual,
    kZResidual};

} // namespace kovarim::gbk
