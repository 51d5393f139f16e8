#pragma once

// The window's fixed texts (UTF-8), each in one place. The message for an
// estimation that found no triple is the core's (kNoTripleSentence).
namespace kovarim::window::texts {

// Filters as the program sets them: a display text and a pattern, "|" between.
inline constexpr const char *kOpenFilter = "Text files|*.txt";
inline constexpr const char *kSaveFilter = "明码文件(*.txt)|*.txt";

inline constexpr const char *kReplaceQuestion = "文件已经存在,要替换它吗?";
inline constexpr const char *kReplaceCaption = "另存为";

// After the finding that the best triple is weak (OK and Cancel, the
// application's title).
inline constexpr const char *kUseAdjustedQuestion =
    "要改用最小二乘平差的七参数进行单点转换和批量转换吗？\n"
    "确定：改用平差的参数，并在公共点文件旁写出七参数平差报告；取消：仍用最优三点的参数。";

// For failures a command does not handle itself.
inline constexpr const char *kOutOfMemory = "内存不足，命令已中止";
inline constexpr const char *kAborted = "命令已中止：";

} // namespace kovarim::window::texts
