#pragma once

#include "textio/gbk_texts.h"

namespace kovarim::gbk {

// The adjustment report's fixed texts, as GBK bytes beside their readable
// text, like the accuracy report's; tests/textio/gbk_texts_test.cpp checks
// them against iconv.

// line 1
inline constexpr Text kAdjustedTitle{"\xC6\xDF\xB2\xCE\xCA\xFD\xC6\xBD\xB2\xEE\xB1\xA8\xB8\xE6",
                                     "七参数平差报告"};
// line 1, before the point count
inline constexpr Text kPointsInFile{"\xA3\xBA\xCE\xC4\xBC\xFE\xD6\xD0\xB9\xB2\xD3\xD0 ",
                                    "：文件中共有 "};
// line 1
inline constexpr Text kPointsUsed{
    " \xB8\xF6\xB9\xAB\xB9\xB2\xB5\xE3\xA3\xAC\xB2\xCE\xD3\xEB\xC6\xBD\xB2\xEE ",
    " 个公共点，参与平差 "};
// line 1
inline constexpr Text kBlundersFound{" \xB8\xF6\xA3\xAC\xB4\xD6\xB2\xEE ", " 个，粗差 "};
// line 1
inline constexpr Text kCheckPointsHeld{" \xB8\xF6\xA3\xAC\xBC\xEC\xBA\xCB\xB5\xE3 ",
                                       " 个，检核点 "};
// line 1, end
inline constexpr Text kCountEnd{" \xB8\xF6", " 个"};
// line 2
inline constexpr Text kMethod{
    "\xB7\xBD\xB7\xA8\xA3\xBA\xB5\xC8\xC8\xA8\xD7\xEE\xD0\xA1\xB6\xFE\xB3\xCB\xA3\xAC\xB9\xDB\xB2"
    "\xE2\xCE\xAA\xB8\xF7\xB5\xE3 "
    "x2-x1\xA1\xA2y2-y1\xA1\xA2z2-"
    "z1\xA3\xAC\xBC\xD9\xB6\xA8\xD0\xC2\xD7\xF8\xB1\xEA\xCF\xB5\xD7\xF8\xB1\xEA\xCE\xF3\xB2\xEE\xB5"
    "\xC8\xBE\xAB\xB6\xC8\xA1\xA2\xBB\xA5\xCF\xE0\xB6\xC0\xC1\xA2\xA1\xA2\xB7\xFE\xB4\xD3\xD5\xFD"
    "\xCC\xAC\xB7\xD6\xB2\xBC",
    "方法：等权最小二乘，观测为各点 "
    "x2-x1、y2-y1、z2-z1，假定新坐标系坐标误差等精度、互相独立、服从正态分布"};
// line 4
inline constexpr Text kRobustLimit{"\xA3\xAC\xBD\xE7\xCF\xDE ", "，界限 "};
// line 4
inline constexpr Text kRobustCount{"\xA3\xAC\xCF\xC8\xB2\xBB\xB2\xCE\xD3\xEB ", "，先不参与 "};
// line 1, when some point fails its test and stays
inline constexpr Text kFailedButKept{
    "\xA3\xAC\xB2\xCE\xD3\xEB\xB6\xF8\xCE\xB4\xCD\xA8\xB9\xFD\xBC\xEC\xD1\xE9 ",
    "，参与而未通过检验 "};
// line 3: the robust start
inline constexpr Text kStartMedian{
    "\xC6\xF0\xCB\xE3\xA3\xBA\xD7\xEE\xD0\xA1\xD6\xD0\xCE\xBB\xCA\xFD\xB7\xA8\xA3\xAC\xD4\xDA\xD7"
    "\xEE\xD0\xA1\xBD\xC7\xB2\xBB\xD0\xA1\xD3\xDA ",
    "起算：最小中位数法，在最小角不小于 "};
// line 3
inline constexpr Text kStartTried{
    "\xA1\xE3 \xB5\xC4\xC8\xFD\xB5\xE3\xD7\xE9\xBA\xCF\xD6\xD0\xCA\xD4\xC1\xCB ",
    "° 的三点组合中试了 "};
// line 3, before the triple
inline constexpr Text kStartChosen{" \xD7\xE9\xA3\xAC\xC8\xA1\xB8\xF7\xB5\xE3\xB2\xD0\xB2\xEE\xD6"
                                   "\xD0\xCE\xBB\xCA\xFD\xD7\xEE\xD0\xA1\xD5\xDF(",
                                   " 组，取各点残差中位数最小者("};
// line 3, after the triple
inline constexpr Text kStartAngle{")\xA3\xAC\xC6\xE4\xD7\xEE\xD0\xA1\xBD\xC7 ", ")，其最小角 "};
// line 3, end
inline constexpr Text kDegrees{"\xA1\xE3", "°"};
// line 4
inline constexpr Text kStartWaiting{
    "\xB3\xF5\xCA\xBC\xCC\xDE\xB3\xFD\xA3\xBA\xA1\xCC\xA6\xB8\xA3\xA8\xC6\xF0\xCB\xE3\xC4\xE2\xBA"
    "\xCF\xCF\xC2\xB0\xB4\xC6\xE4\xBE\xAB\xB6\xC8\xBC\xD3\xC8\xA8\xB5\xC4\xB2\xD0\xB2\xEE\xCF\xF2"
    "\xC1\xBF\xB3\xA4\xB6\xC8\xA3\xA9\xB3\xAC\xB9\xFD "
    "k\xA1\xC1\xC6\xF0\xCB\xE3\xD6\xD0\xCE\xF3\xB2\xEE\xD5\xDF\xCF\xC8\xB2\xBB\xB2\xCE\xD3\xEB\xA3"
    "\xACk = \xA1\xCC\xA6\xD6^2(1-10^-6;3) = ",
    "初始剔除：√Ω（起算拟合下按其精度加权的残差向量长度）超过 k×起算中误差者先不参与，k = "
    "√χ^2(1-10^-6;3) = "};
// line 4
inline constexpr Text kStartScale{
    "\xA3\xAC\xC6\xF0\xCB\xE3\xD6\xD0\xCE\xF3\xB2\xEE\xA3\xA8\xD3\xC9\xB8\xF7\xB5\xE3 \xA6\xB8 "
    "\xB5\xC4\xD6\xD0\xCE\xBB\xCA\xFD\xCD\xC6\xCB\xE3\xA3\xA9 ",
    "，起算中误差（由各点 Ω 的中位数推算） "};
// line 3 with too few points
inline constexpr Text kNoRobustStartFew{
    "\xB3\xF5\xCA\xBC\xCC\xDE\xB3\xFD\xA3\xBA\xBF\xC9\xB2\xCE\xD3\xEB\xC6\xBD\xB2\xEE\xB5\xC4\xB5"
    "\xE3\xC9\xD9\xD3\xDA 5 \xB8\xF6\xA3\xAC\xB2\xBB\xD7\xF7\xB3\xF5\xCA\xBC\xCC\xDE\xB3\xFD",
    "初始剔除：可参与平差的点少于 5 个，不作初始剔除"};
// line 3 without a usable triple
inline constexpr Text kNoRobustStartShape{
    "\xB3\xF5\xCA\xBC\xCC\xDE\xB3\xFD\xA3\xBA\xC3\xBB\xD3\xD0\xBF\xC9\xD3\xC3\xB5\xC4\xC8\xFD\xB5"
    "\xE3\xD7\xE9\xBA\xCF\xA3\xAC\xB2\xBB\xD7\xF7\xB3\xF5\xCA\xBC\xCC\xDE\xB3\xFD",
    "初始剔除：没有可用的三点组合，不作初始剔除"};
// after line 7, when the snooping went round in a circle
inline constexpr Text kNotSettled{
    "\xD7\xA2\xD2\xE2\xA3\xBA\xCA\xFD\xBE\xDD\xCC\xBD\xB2\xE2\xD4\xDA\xBC\xB8\xB8\xF6\xB5\xE3\xD6"
    "\xAE\xBC\xE4\xCD\xF9\xB8\xB4\xA3\xAC\xD2\xD1\xCD\xA3\xD6\xB9\xCC\xDE\xB3\xFD\xA3\xAC\xD6\xBB"
    "\xBB\xD6\xB8\xB4\xCD\xA8\xB9\xFD\xBC\xEC\xD1\xE9\xB5\xC4\xB5\xE3\xA3\xBB\xB2\xCE\xD3\xEB\xB6"
    "\xF8\xCE\xB4\xCD\xA8\xB9\xFD\xBC\xEC\xD1\xE9\xB5\xC4\xB5\xE3\xBC\xFB\xA1\xB0\xD7\xB4\xCC\xAC"
    "\xA1\xB1\xC0\xB8",
    "注意：数据探测在几个点之间往复，已停止剔除，只恢复通过检验的点；参与而未通过检验的点见“状态”"
    "栏"};
// state of a point that fails and stays
inline constexpr Text kUsedFailing{
    "\xB2\xCE\xD3\xEB\xA3\xA8\xCE\xB4\xCD\xA8\xB9\xFD\xBC\xEC\xD1\xE9\xA3\xA9",
    "参与（未通过检验）"};
// comparison, before the triple
inline constexpr Text kTripleOpen{"\xD7\xEE\xD3\xC5\xC8\xFD\xB5\xE3(", "最优三点("};
// line 5
inline constexpr Text kSnooping{
    "\xCA\xFD\xBE\xDD\xCC\xBD\xB2\xE2\xA3\xBA\xD6\xF0\xB5\xE3\xBC\xEC\xD1\xE9 F = "
    "(\xA6\xB8/3)/s^2\xA3\xAC\xA6\xB8 = "
    "vT\xA1\xA4Qvv^-1\xA1\xA4v\xA3\xA8\xB8\xC3\xB5\xE3\xC8\xFD\xD7\xF8\xB1\xEA\xA3\xA9\xA3\xACs^2 "
    "\xCE\xAA\xB2\xBB\xBA\xAC\xB8\xC3\xB5\xE3\xB5\xC4\xB5\xA5\xCE\xBB\xC8\xA8\xB7\xBD\xB2\xEE\xA3"
    "\xBB\xC3\xBF\xB4\xCE\xCC\xDE\xB3\xFD\xD7\xEE\xB4\xF3\xB5\xC4\xB3\xAC\xCF\xDE\xB5\xE3\xBA\xF3"
    "\xD6\xD8\xD0\xC2\xC6\xBD\xB2\xEE\xA3\xAC\xB2\xBB\xB2\xCE\xD3\xEB\xB5\xC4\xB5\xE3\xD2\xBB\xB5"
    "\xA9\xCD\xA8\xB9\xFD\xBC\xEC\xD1\xE9\xBC\xB4\xBB\xD6\xB8\xB4\xB2\xCE\xD3\xEB\xA3\xAC\xD6\xC1"
    "\xC9\xD9\xB1\xA3\xC1\xF4 4 \xB8\xF6\xB5\xE3",
    "数据探测：逐点检验 F = (Ω/3)/s^2，Ω = vT·Qvv^-1·v（该点三坐标），s^2 "
    "为不含该点的单位权方差；每次剔除最大的超限点后重新平差，不参与的点一旦通过检验即恢复参与，至少"
    "保留 4 个点"};
// line 6
inline constexpr Text kAlpha{"\xCF\xD4\xD6\xF8\xCB\xAE\xC6\xBD \xA6\xC1 = ", "显著水平 α = "};
// line 6
inline constexpr Text kCriticalUsed{"\xA3\xAC\xC1\xD9\xBD\xE7\xD6\xB5 F(3,r-3) = ",
                                    "，临界值 F(3,r-3) = "};
// line 6
inline constexpr Text kCriticalUsedEnd{
    "\xA3\xA8\xB2\xCE\xD3\xEB\xC6\xBD\xB2\xEE\xB5\xC4\xB5\xE3\xA3\xA9", "（参与平差的点）"};
// line 6
inline constexpr Text kCriticalOthers{"\xA3\xAC"
                                      "F(3,r) = ",
                                      "，F(3,r) = "};
// line 6
inline constexpr Text kCriticalOthersEnd{
    "\xA3\xA8\xB4\xD6\xB2\xEE\xD3\xEB\xBC\xEC\xBA\xCB\xB5\xE3\xA3\xA9", "（粗差与检核点）"};
// line 7
inline constexpr Text kSigma0{"\xB5\xA5\xCE\xBB\xC8\xA8\xD6\xD0\xCE\xF3\xB2\xEE \xA6\xD2"
                              "0 = ",
                              "单位权中误差 σ0 = "};
// line 7
inline constexpr Text kRedundancy{"  \xB6\xE0\xD3\xE0\xB9\xDB\xB2\xE2\xCA\xFD r = ",
                                  "  多余观测数 r = "};
// parameter table header
inline constexpr Text kParameter{"\xB2\xCE\xCA\xFD", "参数"};
// parameter table header
inline constexpr Text kAdjustedValue{"\xC6\xBD\xB2\xEE\xD6\xB5", "平差值"};
// parameter table header
inline constexpr Text kStandardDeviation{"\xD6\xD0\xCE\xF3\xB2\xEE", "中误差"};
// parameter table header
inline constexpr Text kReadable{"\xBB\xBB\xCB\xE3\xD6\xB5", "换算值"};
// parameter table header
inline constexpr Text kReadableSigma{"\xBB\xBB\xCB\xE3\xD6\xD0\xCE\xF3\xB2\xEE", "换算中误差"};
// unit of the rotations' readable values
inline constexpr Text kArcSeconds{"\xC3\xEB", "秒"};
// centroid block title
inline constexpr Text kCentroidTitle{
    "======================\xD6\xD8\xD0\xC4\xD0\xCE\xCA\xBD======================",
    "======================重心形式======================"};
// centroid line
inline constexpr Text kCentroid{"\xD6\xD8\xD0\xC4\xA3\xA8\xD4\xAD\xD7\xF8\xB1\xEA\xCF\xB5\xA3\xAC"
                                "\xB2\xCE\xD3\xEB\xC6\xBD\xB2\xEE\xB5\xC4\xB5\xE3\xA3\xA9",
                                "重心（原坐标系，参与平差的点）"};
// centroid translations
inline constexpr Text kCentroidShift{"\xD6\xD8\xD0\xC4\xB4\xA6\xC6\xBD\xD2\xC6", "重心处平移"};
// correlation block title
inline constexpr Text kCorrelationTitle{
    "======================\xCF\xE0\xB9\xD8\xCF\xB5\xCA\xFD======================",
    "======================相关系数======================"};
// point block title
inline constexpr Text kPointsTitle{
    "======================\xB8\xF7\xB5\xE3\xB2\xD0\xB2\xEE\xA3\xA8\xBC\xC6\xCB\xE3\xD6\xB5-"
    "\xD2\xD1\xD6\xAA\xD6\xB5\xA3\xA9======================",
    "======================各点残差（计算值-已知值）======================"};
// point table header
inline constexpr Text kRedundancyNumbers{"\xB6\xE0\xD3\xE0\xB9\xDB\xB2\xE2\xB7\xD6\xC1\xBF",
                                         "多余观测分量"};
// point table header
inline constexpr Text kTestValue{"\xBC\xEC\xD1\xE9\xD6\xB5", "检验值"};
// point table header
inline constexpr Text kCriticalValue{"\xC1\xD9\xBD\xE7\xD6\xB5", "临界值"};
// point table header
inline constexpr Text kState{"\xD7\xB4\xCC\xAC", "状态"};
// state
inline constexpr Text kUsed{"\xB2\xCE\xD3\xEB", "参与"};
// state
inline constexpr Text kBlunder{"\xB4\xD6\xB2\xEE", "粗差"};
// state
inline constexpr Text kCheck{"\xBC\xEC\xBA\xCB", "检核"};
// state of a check point that fails its test
inline constexpr Text kCheckFailing{
    "\xBC\xEC\xBA\xCB\xA3\xA8\xCE\xB4\xCD\xA8\xB9\xFD\xBC\xEC\xD1\xE9\xA3\xA9",
    "检核（未通过检验）"};
// state of a point that came back
inline constexpr Text kCameBack{
    "\xB2\xCE\xD3\xEB\xA3\xA8\xB3\xF5\xCA\xBC\xCC\xDE\xB3\xFD\xBA\xF3\xBB\xD6\xB8\xB4\xA3\xA9",
    "参与（初始剔除后恢复）"};
// test value of a point that cannot be tested
inline constexpr Text kUntestable{"\xB2\xBB\xBF\xC9\xBC\xEC\xD1\xE9", "不可检验"};
// check points' RMS
inline constexpr Text kCheckRms{
    "\xBC\xEC\xBA\xCB\xB5\xE3\xB2\xD0\xB2\xEE\xBE\xF9\xB7\xBD\xB8\xF9\xA3\xBA",
    "检核点残差均方根："};
// check points' RMS, 3D
inline constexpr Text kThreeD{"\xC8\xFD\xCE\xAC", "三维"};
// comparison block title
inline constexpr Text kTripleTitle{
    "======================"
    "\xD7\xEE\xD3\xC5\xC8\xFD\xB5\xE3\xB2\xCE\xCA\xFD\xD3\xEB\xC6\xBD\xB2\xEE\xB2\xCE\xCA\xFD======"
    "================",
    "======================最优三点参数与平差参数======================"};
// comparison header
inline constexpr Text kTripleValue{"\xC8\xFD\xB5\xE3\xD6\xB5", "三点值"};
// comparison header
inline constexpr Text kDifferenceInSigma{"\xB2\xEE\xD6\xB5/\xD6\xD0\xCE\xF3\xB2\xEE",
                                         "差值/中误差"};
// a value that does not exist
inline constexpr Text kNone{"\xCE\xDE", "无"};

inline constexpr Text kAdjustmentAll[] = {
    kAdjustedTitle,
    kPointsInFile,
    kPointsUsed,
    kBlundersFound,
    kCheckPointsHeld,
    kCountEnd,
    kMethod,
    kRobustLimit,
    kRobustCount,
    kFailedButKept,
    kStartMedian,
    kStartTried,
    kStartChosen,
    kStartAngle,
    kDegrees,
    kStartWaiting,
    kStartScale,
    kNoRobustStartFew,
    kNoRobustStartShape,
    kNotSettled,
    kUsedFailing,
    kCheckFailing,
    kTripleOpen,
    kSnooping,
    kAlpha,
    kCriticalUsed,
    kCriticalUsedEnd,
    kCriticalOthers,
    kCriticalOthersEnd,
    kSigma0,
    kRedundancy,
    kParameter,
    kAdjustedValue,
    kStandardDeviation,
    kReadable,
    kReadableSigma,
    kArcSeconds,
    kCentroidTitle,
    kCentroid,
    kCentroidShift,
    kCorrelationTitle,
    kPointsTitle,
    kRedundancyNumbers,
    kTestValue,
    kCriticalValue,
    kState,
    kUsed,
    kBlunder,
    kCheck,
    kCameBack,
    kUntestable,
    kCheckRms,
    kThreeD,
    kTripleTitle,
    kTripleValue,
    kDifferenceInSigma,
    kNone,
};

} // namespace kovarim::gbk
