#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/error.h"

namespace kovarim::cli {

// Writes a command's results on standard output and makes sure they got
// there: a command puts its files in place only after that, so that a closed
// or full standard output leaves them as they were.
inline void PrintNow(const std::string &text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw Error(std::string("写入标准输出失败（") + std::strerror(errno) + "）");
}

} // namespace kovarim::cli
