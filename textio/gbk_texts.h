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

// with coordinate systems other than xyz: the systems line, before the first system
inline constexpr Text kOriginalSystem{"\xD4\xAD\xD7\xF8\xB1\xEA\xCF\xB5 ", "原坐标系 "};
// the systems line, before the second system
inline constexpr Text kNewSystem{"\xA3\xAC\xD0\xC2\xD7\xF8\xB1\xEA\xCF\xB5 ", "，新坐标系 "};
// the systems line, end
inline constexpr Text kParametersOnXyz{
    "\xA3\xA8\xC6\xDF\xB2\xCE\xCA\xFD\xD7\xF7\xD3\xC3\xD3\xDA\xC1\xBD\xD7\xF8\xB1\xEA\xCF\xB5\xB8"
    "\xF7\xD7\xD4\xCD\xD6\xC7\xF2\xC9\xCF\xB5\xC4\xB5\xD8\xD0\xC4\xD6\xB1\xBD\xC7\xD7\xF8\xB1\xEA "
    "X Y Z\xA3\xA9",
    "（七参数作用于两坐标系各自椭球上的地心直角坐标 X Y Z）"};
// the residuals line, before what they are
inline constexpr Text kResidualsAre{
    "\xB2\xD0\xB2\xEE\xA3\xA8\xBC\xC6\xCB\xE3\xD6\xB5-"
    "\xD2\xD1\xD6\xAA\xD6\xB5\xA3\xA9\xCE\xAA\xD0\xC2\xD7\xF8\xB1\xEA\xCF\xB5\xB5\xC4",
    "残差（计算值-已知值）为新坐标系的"};
// the residuals line, new system xyz
inline constexpr Text kResidualsXyz{"\xB5\xD8\xD0\xC4\xD6\xB1\xBD\xC7\xD7\xF8\xB1\xEA\xD6\xAE\xB2"
                                    "\xEE X\xA1\xA2Y\xA1\xA2Z\xA3\xAC\xB5\xA5\xCE\xBB\xC3\xD7",
                                    "地心直角坐标之差 X、Y、Z，单位米"};
// the residuals line, new system blh
inline constexpr Text kResidualsNeu{
    "\xB1\xB1\xA1\xA2\xB6\xAB\xA1\xA2\xCC\xEC\xCF\xF2\xB7\xD6\xC1\xBF N\xA1\xA2"
    "E\xA1\xA2U\xA3\xAC\xB5\xA5\xCE\xBB\xC3\xD7",
    "北、东、天向分量 N、E、U，单位米"};
// the residuals line, new system gk
inline constexpr Text kResidualsGrid{
    "\xB8\xDF\xCB\xB9-\xBF\xCB\xC2\xC0\xB8\xF1\xD7\xF8\xB1\xEA\xD6\xAE\xB2\xEE "
    "x\xA1\xA2y\xA1\xA2h\xA3\xAC\xB5\xA5\xCE\xBB\xC3\xD7",
    "高斯-克吕格坐标之差 x、y、h，单位米"};
// the residual header, after each residual's name (N残差 ...)
inline constexpr Text kResidual{"\xB2\xD0\xB2\xEE", "残差"};
// the residual title, between its equal signs, before the residuals' names (DNDEDU ...)
inline constexpr Text kResidualAnalysis{"\xB2\xD0\xB2\xEE\xB7\xD6\xCE\xF6", "残差分析"};
// the residuals line of the adjustment report, end
inline constexpr Text kAlongTheseAxes{
    "\xA3\xBB\xB6\xE0\xD3\xE0\xB9\xDB\xB2\xE2\xB7\xD6\xC1\xBF\xBA\xCD\xBC\xEC\xBA\xCB\xB5\xE3\xBE"
    "\xF9\xB7\xBD\xB8\xF9\xD2\xB2\xB0\xB4\xD5\xE2\xC8\xFD\xB8\xF6\xB7\xBD\xCF\xF2",
    "；多余观测分量和检核点均方根也按这三个方向"};

inline constexpr Text kAll[] = {kTotalOf,
                                kCommonPointsBestThree,
                                kComputedSevenParams,
                                kEquationNumber,
                                kPointEquation,
                                kSevenParams,
                                kResidualTitle,
                                kPointName,
                                kXResidual,
                                kYResidual,
                                kZResidual,
                                kOriginalSystem,
                                kNewSystem,
                                kParametersOnXyz,
                                kResidualsAre,
                                kResidualsXyz,
                                kResidualsNeu,
                                kResidualsGrid,
                                kResidual,
                                kResidualAnalysis,
                                kAlongTheseAxes};

} // namespace kovarim::gbk
