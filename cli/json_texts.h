#pragma once

#include <string>

#include "adjustment/adjustment.h"
#include "textio/encoding.h"

namespace kovarim::cli {

// Names are GBK in the table; scripts and terminals want UTF-8. A name
// that has no UTF-8 form shows as "?".
inline std::string Utf8Name(const std::string &gbk) {
    const std::string utf8 = ToUtf8(gbk, Encoding::Gbk);
    return utf8.empty() && !gbk.empty() ? "?" : utf8;
}

// A file name for JSON, which must be UTF-8: a byte that is not becomes "?".
inline std::string Utf8Path(const std::string &path) {
    if (IsValidUtf8(path))
        return path;
    std::string text;
    for (char c : path)
        text += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return text;
}

// A point's state as the JSON says it.
inline const char *StateName(PointState state) {
    switch (state) {
    case PointState::Used:
        return "used";
    case PointState::Blunder:
        return "blunder";
    case PointState::Check:
        return "check";
    }
    return "";
}

} // namespace kovarim::cli
