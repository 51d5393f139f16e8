#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "calibration/calibration.h"
#include "calibration/calibration_source.h"

namespace kovarim::cli {

// kovarim-cli calibrate FILE --from S1 --to plane [--via gk:ELL:CM[,...]]
//     [--height auto|none|constant|plane|quadratic] [--fixed-scale]
//     [--check NAME,...] [--alpha A] [--params P] [--json] [--quiet]
struct CalibrateArguments {
    std::string file;
    CalibrationSource source; // --from and --via, already checked
    HeightModel height = HeightModel::Auto;
    bool fixedScale = false;
    std::vector<std::string> check; // the check points' names (SplitNames)
    double alpha = kDefaultAlpha;
    std::optional<std::string> params; // the parameter file to write
    bool json = false;
    bool quiet = false;
    const std::atomic<bool> *stop = nullptr; // set: stop before anything is put in place
};

// A command line calibrate cannot take: said with the help, status 2.
struct CalibrateUsage {
    std::string problem;
};

// Reads calibrate's arguments, argv[first] on, as the other commands read
// theirs ("--option value" or "--option=value", "--" before a file name that
// starts with "--"). Throws CalibrateUsage naming the argument.
CalibrateArguments ParseCalibrateArguments(const std::vector<std::string> &argv, std::size_t first);

// Reads the common points in the source system, projects them, calibrates,
// writes the report (and the parameter file) and puts them in place only when
// all succeeded, then prints a summary or one JSON object on standard output.
// Returns the exit status; throws Error like the core, SearchStopped when
// stopped.
int RunCalibrate(const CalibrateArguments &args);

} // namespace kovarim::cli
