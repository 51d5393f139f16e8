#pragma once

#include <string>

#include "base/error.h"
#include "textio/platform.h"

namespace kovarim::cli {

// Writes a command's results on standard output and makes sure they got
// there: a command puts its files in place only after that, so that a closed
// or full standard output leaves them as they were. A console shows the
// characters, whatever its code page; elsewhere they are UTF-8 bytes.
inline void PrintNow(const std::string &text) {
    if (!platform::WriteText(stdout, text))
        throw Error("写入标准输出失败（" + platform::LastReason() + "）");
}

// A message on standard error, shown as PrintNow shows results. When even
// that fails, the exit status is all that is left to tell.
inline void Say(const std::string &text) { platform::WriteText(stderr, text); }

} // namespace kovarim::cli
