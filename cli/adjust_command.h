#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/coordinate_system.h"

namespace kovarim::cli {

// kovarim-cli adjust FILE [--params P] [--check NAMES] [--alpha A] [--json]
struct AdjustArguments {
    std::string file;
    std::optional<std::string> params; // the parameter file to write
    std::vector<std::string> check;    // the check points' names (SplitNames)
    double alpha = 0.001;              // already checked by the caller
    bool json = false;
    const std::atomic<bool> *stop = nullptr; // set: stop before anything is put in place
    bool quiet = false;                      // no progress line on a terminal
    PointSystems systems;                    // the file's two sides (--from, --to)
};

// The names of a --check list, split as a line of a common-point file is:
// commas between, blanks before a name skipped and after an unquoted one
// dropped, a name in double quotes taken whole, commas and all ("" is the
// empty name). Appended to `names`; false for a quote left open or an empty
// unquoted name (',' or '' on a command line is a slip).
bool SplitNames(std::string_view list, std::vector<std::string> &names);

// What a command line hears when SplitNames refuses its --check.
inline constexpr const char *kBadCheckList =
    "--check 中有空的点号或没有闭合的引号；名为空的点写作 \"\" (--check has an empty name or a "
    "quote left open; the empty name is \"\")";

// Adjusts, writes the report (and the parameter file) and puts them in place
// only when all succeeded, then prints a summary or one JSON object on
// standard output. Returns the exit status; throws Error like the core.
int RunAdjust(const AdjustArguments &args);

} // namespace kovarim::cli
