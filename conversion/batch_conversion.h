#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/calibration_file.h"
#include "conversion/system_conversion.h"
#include "model/seven_parameters.h"
#include "textio/field_reader.h"

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
// One record a line: blank lines are skipped; any other line must hold four
// fields. Records are streamed one at a time. The output keeps the input's
// encoding (the names pass through as bytes; a UTF-8 byte order mark is
// written again).
//
// The input is opened first. Then the output is begun under a temporary
// name beside its final one (a folder or a read-only file is refused here);
// when a file of that name is there and not empty, `confirmReplace` decides:
// false leaves it untouched and ends with Cancelled. The new output takes
// the old one's place only when it is complete, so a failure to write (a
// full disk) leaves the old output whole and no part of the new one. A
// device or a pipe is written in place as the lines come, without a question.
//
// An empty x or y is refused (it would put the point on an axis unseen); an
// empty height counts as 0. Anything else that goes wrong in the input (it
// cannot be opened, a line without four fields, a coordinate that is not a
// number, overflow) throws Error naming the file and the line; the records
// before it are converted and put in place as the output (none: the old
// output stays), and the message says how many there are.
//
// Direction::Inverse converts from the new system back to the original one
// (InverseTransformPoint), in the same forms.
//
// Once `stop` is set (from anywhere), the conversion throws
// ConversionStopped before it puts anything in place.
BatchOutcome ConvertFile(const std::string &inputPath, const std::string &outputPath,
                         const Params &params, const std::function<bool()> &confirmReplace,
                         Direction direction = Direction::Forward,
                         const std::atomic<bool> *stop = nullptr);

// The same from an input already open (standard input, say).
BatchOutcome ConvertFile(FieldReader &input, const std::string &outputPath, const Params &params,
                         const std::function<bool()> &confirmReplace,
                         Direction direction = Direction::Forward,
                         const std::atomic<bool> *stop = nullptr);

// The same between coordinate systems: each record is name, then the three
// values of conversion.source() (B, L, H or x, y, h ..., read in their forms:
// ddd.mmssss for blh,dms; an empty height counts as 0, an empty B, L, x or y
// is refused), followed by the three of conversion.target() in their forms.
// A value a system refuses (B beyond ±90°, a zone prefix that is not zone=N,
// a grid point beyond 9° ...) is an Error at its line and field; between
// systems other than xyz a refused record leaves nothing written (the old
// output stays). With xyz to xyz it is the conversion above, byte for byte.
BatchOutcome ConvertFile(const std::string &inputPath, const std::string &outputPath,
                         const SystemConversion &conversion,
                         const std::function<bool()> &confirmReplace,
                         const std::atomic<bool> *stop = nullptr);
BatchOutcome ConvertFile(FieldReader &input, const std::string &outputPath,
                         const SystemConversion &conversion,
                         const std::function<bool()> &confirmReplace,
                         const std::atomic<bool> *stop = nullptr);
// The same with a site calibration's file: forward, each record's x, y, z
// are the source's values in its forms (x y h; B L H in decimal degrees or
// ddd.mmssss as the source system says) and X', Y', Z' the local X, Y, h
// rounded to 3 decimal places; inverse, the local X, Y, h become the
// source's values in its forms (metres to 3 decimals, degrees to 9,
// ddd.mmssss to 5 decimals of seconds). A value the source refuses (B
// beyond 90°, L more than 9° from the projection's central meridian, a
// minute of 60) is refused with its line and field, as a bad number is.
BatchOutcome ConvertFile(const std::string &inputPath, const std::string &outputPath,
                         const CalibrationFile &calibration,
                         const std::function<bool()> &confirmReplace,
                         Direction direction = Direction::Forward,
                         const std::atomic<bool> *stop = nullptr);
BatchOutcome ConvertFile(FieldReader &input, const std::string &outputPath,
                         const CalibrationFile &calibration,
                         const std::function<bool()> &confirmReplace,
                         Direction direction = Direction::Forward,
                         const std::atomic<bool> *stop = nullptr);

struct ConversionStopped {};

// The conversion itself: every record of `input` into lines handed to
// `write` a block at a time, in order. `converted` says how many records
// were handed on, also when an Error in the input stops it.
void ConvertRecords(FieldReader &input, const Params &params,
                    const std::function<void(std::string_view)> &write, long long &converted,
                    Direction direction = Direction::Forward,
                    const std::atomic<bool> *stop = nullptr);
void ConvertRecords(FieldReader &input, const SystemConversion &conversion,
                    const std::function<void(std::string_view)> &write, long long &converted,
                    const std::atomic<bool> *stop = nullptr);
void ConvertRecords(FieldReader &input, const CalibrationFile &calibration,
                    const std::function<void(std::string_view)> &write, long long &converted,
                    Direction direction = Direction::Forward,
                    const std::atomic<bool> *stop = nullptr);

} // namespace kovarim
