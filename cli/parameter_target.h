#pragma once

#include <string>

#include "base/error.h"
#include "textio/platform.h"

namespace kovarim::cli {

// A command must not write its parameter file over its own input or its
// report: refused before anything is written.
inline void RefuseParameterFileOver(const std::string &params, const std::string &input,
                                    const std::string &report) {
    if (platform::SameFile(params, input))
        throw Error::InFile(params, "参数文件就是公共点文件，不能写入；请另选参数文件名");
    if (platform::SameFile(params, report))
        throw Error::InFile(params, "参数文件就是报告文件，不能写入；请另选参数文件名");
}

} // namespace kovarim::cli
