#pragma once

#include <functional>
#include <optional>
#include <string>

#include "model/seven_parameters.h"

namespace kovarim {

// The output name proposed for a batch input: the input name less its last
// four characters, followed by "to" (pts.txt gives ptsto). Nothing for a name
// of fewer than four characters, which is also what a cancelled open dialog
// leaves.
std::optional<std::string> ProposedOutputName(const std::string &inputPath);

enum class BatchOutcome { Converted, Cancelled };

// Converts every record (name, x, y, z) of `inputPath` into a line of
// `outputPath`: the four fields as read, by value, then X', Y', Z' rounded to
// 3 decimal places; commas between, CR LF after, text in double quotes.
//
// The output is opened for appending first; when it is not empty,
// `confirmReplace` decides: true empties it, false leaves it untouched and
// ends with Cancelled. The output is thus created or emptied before the input
// is opened. Records are streamed one at a time.
//
// Blank lines after the last complete record end the input. Anything else
// that goes wrong (the input cannot be opened, a record cut short, a
// coordinate that is not a number, overflow, a write failure) throws Error
// naming the file and the record; the lines written before it stay.
BatchOutcome ConvertFile(const std::string &inputPath, const std::string &outputPath,
                         const Params &params, const std::function<bool()> &confirmReplace);

} // namespace kovarim
