#include "conversion/batch_conversion.h"

#include <future>
#include <memory>
#include <utility>
#include <vector>

#include "base/error.h"
#include "conversion/system_conversion.h"
#include "geodesy/coordinate_system.h"
#include "geodesy/value_text.h"
#include "textio/field_reader.h"
#include "textio/number_text.h"
#include "textio/path_names.h"
#include "textio/platform.h"
#include "textio/text_file.h"

namespace kovarim {
namespace {

constexpr int kFieldsPerRecord = 4;
constexpr std::size_t kBlockBytes = 1 << 16;
const char *const kFieldNames[kFieldsPerRecord] = {"点号", "x", "y", "z"};

std::string RecordText(long long record) { return "第 " + std::to_string(record) + " 条记录"; }

// The delimited form of a value: text in double quotes (unchanged, nothing
// escaped), a number in plain decimal form, an empty value as nothing.
void AppendDelimited(std::string &line, const Field &field) {
    switch (field.kind) {
    case FieldKind::Text:
        line += '"';
        line += field.bytes;
        line += '"';
        break;
    case FieldKind::Number:
        // Most fields stand in the file as they would be written: copied.
        if (IsDelimitedNumberText(field.bytes))
            line += field.bytes;
        else
            AppendDelimitedNumber(line, field.number);
        break;
    case FieldKind::Empty:
        break;
    }
}

// A record's point name for a message: "（点号 “P1”）", or nothing.
std::string NameNote(const std::string &bytes, Encoding encoding) {
    const std::string name = QuotedForMessage(ToUtf8(bytes, encoding));
    return name.empty() ? std::string() : "（点号" + name + "）";
}
std::string NameNote(const FieldReader &reader, const Line &line) {
    return NameNote(line.fields[0].bytes, reader.encoding());
}

// The value of field `index` (2 to 4), called `valueName` in messages.
// Unlike a common-point coordinate, a quoted one counts here when its text is
// a number: the batch echoes each field by its kind and needs a number only
// for the arithmetic. A value in another form than a decimal number
// (ddd.mmssss) is read from its text by `read`. An empty height counts as 0;
// a missing x or y would put the point on an axis, unseen.
double RecordValue(const FieldReader &reader, long long record, const Line &line, int index,
                   const char *valueName,
                   const std::function<double(const std::string &)> *read = nullptr) {
    const Field &field = line.fields[index];
    if (field.kind == FieldKind::Number && read == nullptr)
        return field.number;
    std::string why;
    if (field.kind == FieldKind::Empty) {
        if (index == 3)
            return 0.0;
        why = " 为空";
    } else {
        const ParsedNumber parsed = ParseFieldNumber(field.bytes);
        if (parsed.status == NumberParse::Ok) {
            if (read == nullptr)
                return parsed.value;
            try {
                return (*read)(field.bytes);
            } catch (const Error &e) {
                throw Error::AtField(reader.path(), field.line, index + 1,
                                     RecordText(record) + "：" + e.problem() +
                                         NameNote(reader, line));
            }
        }
        why = QuotedForMessage(ToUtf8(field.bytes, reader.encoding())) +
              (parsed.status == NumberParse::OutOfRange ? " 超出双精度数的范围" : " 不是数值");
    }
    throw Error::AtField(reader.path(), field.line, index + 1,
                         RecordText(record) + "的坐标 " + valueName + why + NameNote(reader, line));
}

double Coordinate(const FieldReader &reader, long long record, const Line &line, int index) {
    return RecordValue(reader, record, line, index, kFieldNames[index]);
}

// A value of the source system of `conversion` (fields 2 to 4), read in the
// system's form (ddd.mmssss is no decimal number).
double SystemValue(const FieldReader &reader, const SystemConversion &conversion, long long record,
                   const Line &line, int index) {
    const int k = index - 1;
    if (FormOf(conversion.source(), k) != ValueForm::Dms)
        return RecordValue(reader, record, line, index, ValueName(conversion.source(), k));
    const std::function<double(const std::string &)> read = [&](const std::string &bytes) {
        return conversion.Read(k, bytes);
    };
    return RecordValue(reader, record, line, index, ValueName(conversion.source(), k), &read);
}

// What a record's three coordinates become: the results, each after a comma.
using AppendResults = std::function<void(const FieldReader &reader, long long record,
                                         const Line &line, std::string &text)>;

AppendResults ThroughSevenParameters(const Params &params, Direction direction) {
    return [&params, direction](const FieldReader &reader, long long record, const Line &line,
                                std::string &text) {
        const double X = Coordinate(reader, record, line, 1);
        const double Y = Coordinate(reader, record, line, 2);
        const double Z = Coordinate(reader, record, line, 3);
        try {
            const Point3 to = TransformPoint(params, direction, X, Y, Z);
            for (double value : {to.X, to.Y, to.Z}) {
                text += ',';
                AppendDelimitedNumber(text, RoundCoordinate(value));
            }
        } catch (const Error &overflow) {
            throw Error::AtLine(reader.path(), line.number,
                                RecordText(record) + "：" + overflow.problem());
        }
    };
}

// Forward, the record holds the source's values in their forms (x y h, or
// B L H in degrees or ddd.mmssss: the field's text, not the decimal number
// it looks like) and gets the local X, Y, h; inverse, the other way round.
AppendResults ThroughCalibration(const CalibrationFile &file, Direction direction) {
    return [&file, direction](const FieldReader &reader, long long record, const Line &line,
                              std::string &text) {
        const bool forward = direction == Direction::Forward;
        const char *const side = forward ? "原坐标系 " : "局部坐标系 ";
        static const char *const local[3] = {"X", "Y", "h"};
        auto refuse = [&](const Error &e) {
            const Error placed = PlacedInFile(e, reader.path(), line.number, 2);
            throw placed.Restated(RecordText(record) + "：" +
                                  (e.field() > 0 ? side : std::string()) + placed.problem() +
                                  NameNote(reader, line));
        };
        Values given{};
        for (int k = 0; k < 3; ++k) {
            const Field &field = line.fields[1 + k];
            if (field.kind == FieldKind::Empty) {
                if (k == 2)
                    continue; // a missing height counts as 0, as in every batch
                Coordinate(reader, record, line, 1 + k); // refused as an empty x or y is
            }
            try {
                const std::string value = ToUtf8(field.bytes, reader.encoding());
                given[k] = forward ? file.source.Read(k, value)
                                   : ReadValue(ValueForm::Metres, value, local[k]);
            } catch (const Error &e) {
                refuse(Error::AtField({}, 0, k + 1, e.problem()));
            }
        }
        Values to{};
        try {
            to = ApplySiteCalibration(file.source, file.params, direction, given);
        } catch (const Error &e) {
            refuse(e);
        }
        for (int k = 0; k < 3; ++k) {
            text += ',';
            if (forward)
                AppendDelimitedNumber(text, RoundCoordinate(to[k]));
            else
                file.source.Append(text, k, to[k]);
        }
    };
}

// Every record of the input, each line handed to `write`, `converted` the
// records handed on; an Error of the input at a refused record.
void ConvertRecordsWith(FieldReader &input, const AppendResults &results,
                        const std::function<void(std::string_view)> &write, long long &converted,
                        const std::atomic<bool> *stop) {
    const auto stopped = [stop] {
        return stop != nullptr && stop->load(std::memory_order_relaxed);
    };
    const std::string &inputPath = input.path();
    // Lines go out a block at a time; `complete` bytes of `text` are whole lines.
    std::string text;
    std::size_t complete = 0;
    auto flush = [&] {
        const std::size_t whole = std::exchange(complete, 0); // not twice, should it fail
        if (whole > 0)
            write(std::string_view(text).substr(0, whole));
        text.clear();
    };
    long long records = 0; // converted, not all of them handed on yet
    std::string computed;  // one record's results
    try {
        Line line;
        while (input.NextRecord(kFieldsPerRecord, "点号,x,y,z", line)) {
            if (stopped())
                throw ConversionStopped{};
            const long long record = records + 1;
            // The results first: a refused record leaves nothing of itself.
            computed.clear();
            results(input, record, line, computed);
            for (int f = 0; f < kFieldsPerRecord; ++f) {
                if (f > 0)
                    text += ',';
                AppendDelimited(text, line.fields[f]);
            }
            text += computed;
            text += "\r\n";
            complete = text.size();
            records = record;
            if (complete >= kBlockBytes)
                flush();
        }
        if (stopped()) // while the last read waited
            throw ConversionStopped{};
        flush();
        converted = records;
    } catch (const Error &e) {
        if (stopped())
            throw ConversionStopped{}; // a read or a write given up for the stop
        if (e.file() != inputPath)
            throw; // the output's own failure
        flush();   // the lines before the failure
        converted = records;
        throw;
    }
}

// What became of the output when the input failed at a record.
std::string OutputNote(long long written, bool outputExisted) {
    if (written == 0)
        return outputExisted ? "没有写入任何记录，输出文件保持原样"
                             : "没有写入任何记录，也没有创建输出文件";
    return "前 " + std::to_string(written) + " 条记录已转换并写入输出文件";
}

// Whether an existing output is empty, so that it is used without a
// question. One that cannot be read counts as not empty: it is asked about.
bool IsEmptyFile(const std::string &path) {
    std::string reason;
    std::FILE *file = platform::OpenForReading(path, reason);
    if (file == nullptr)
        return false;
    const long long length = platform::LengthOf(file, reason);
    std::fclose(file);
    return length == 0;
}

FieldReader OpenInputFor(const std::string &inputPath, const std::string &outputPath) {
    // Replacing the output would delete the input before it is read.
    if (platform::SameFile(inputPath, outputPath))
        throw Error::InFile(outputPath, "输出文件就是输入文件，不能替换它；请另选输出文件名");
    // The input first: when it cannot be read, the old output stays as it is.
    return FieldReader(inputPath);
}

// Converts every record of the input, as ConvertRecords does.
using ConvertAll = std::function<void(
    FieldReader &input, const std::function<void(std::string_view)> &write, long long &converted)>;

// A device or a pipe has no length and cannot be replaced: it is written as
// it stands, without a question, the lines as they come.
BatchOutcome ConvertIntoDevice(FieldReader &input, const std::string &outputPath,
                               const ConvertAll &convert) {
    TextFileWriter output(outputPath, TextFileWriter::Mode::Append);
    bool started = false;
    auto start = [&] {
        if (!std::exchange(started, true) && input.hadUtf8Mark())
            output.Write(kUtf8Mark);
    };
    auto write = [&](std::string_view lines) {
        start();
        output.Write(lines);
    };
    long long converted = 0;
    try {
        convert(input, write, converted);
    } catch (const Error &e) {
        if (e.file() != input.path())
            throw;
        output.Close();
        throw e.Restated(e.problem() + "。" + OutputNote(converted, true));
    }
    start(); // an empty input: the mark alone
    output.Close();
    return BatchOutcome::Converted;
}

// Records between coordinate systems, a block at a time, each block's
// conversion on a thread of its own while the next block is read: the
// geodesy takes more than half the time and gives the same bits on any
// thread. What is handed on, and which error is said, is what one thread
// would give: the blocks in file order, the first refused record's error.
struct RecordBlock {
    long long firstRecord = 1;
    std::string echo;               // each record's four fields and commas, one after the other
    std::vector<std::size_t> ends;  // where each record's echo ends in `echo`
    std::vector<Values> values;     // in the source system
    std::vector<long long> lines;   // the records' lines
    std::vector<std::string> names; // their names' bytes, and the file's encoding so far
    std::vector<Encoding> encodings;
    std::size_t Size() const { return ends.size(); }
};

struct ConvertedBlock {
    std::string text; // the whole lines of the records converted
    long long records = 0;
    std::optional<Error> error; // of the record after them
};

constexpr std::size_t kRecordsPerBlock = 2048;

ConvertedBlock ConvertBlock(const RecordBlock &block, const SystemConversion &conversion,
                            const std::string &inputPath) {
    ConvertedBlock out;
    out.text.reserve(block.echo.size() + 40 * block.Size());
    std::size_t start = 0;
    for (std::size_t i = 0; i < block.Size(); ++i) {
        const std::size_t before = out.text.size();
        out.text.append(block.echo, start, block.ends[i] - start);
        start = block.ends[i];
        try {
            conversion.Append(out.text, conversion.Convert(block.values[i]), ',');
        } catch (const Error &e) {
            out.text.resize(before);
            const Error placed = PlacedInFile(e, inputPath, block.lines[i], 2);
            out.error =
                placed.Restated(RecordText(block.firstRecord + static_cast<long long>(i)) + "：" +
                                placed.problem() + NameNote(block.names[i], block.encodings[i]));
            break;
        }
        out.text += "\r\n";
        ++out.records;
    }
    return out;
}

void ConvertSystemRecords(FieldReader &input, const SystemConversion &conversion,
                          const std::function<void(std::string_view)> &write, long long &converted,
                          const std::atomic<bool> *stop) {
    const auto stopped = [stop] {
        return stop != nullptr && stop->load(std::memory_order_relaxed);
    };
    const std::string &inputPath = input.path();
    const CoordinateSystem &source = conversion.source();
    const std::string layout = std::string("点号,") + ValueName(source, 0) + "," +
                               ValueName(source, 1) + "," + ValueName(source, 2);
    converted = 0;
    // A block's lines handed on, in order; its error, if any, thrown.
    const auto handOn = [&](ConvertedBlock done) {
        if (!done.text.empty())
            write(done.text);
        converted += done.records;
        if (done.error)
            throw *done.error;
    };
    std::future<ConvertedBlock> pending;
    std::unique_ptr<RecordBlock> converting; // what `pending` converts
    auto reading = std::make_unique<RecordBlock>();
    const auto finish = [&] {
        if (pending.valid())
            handOn(pending.get());
    };
    // Waits for the thread before anything goes out of scope.
    struct Join {
        std::future<ConvertedBlock> &pending;
        ~Join() {
            if (pending.valid())
                pending.wait();
        }
    } join{pending};

    std::optional<Error> refused; // a record refused as it was read
    Line line;
    for (;;) {
        try {
            if (!input.NextRecord(kFieldsPerRecord, layout.c_str(), line))
                break;
            if (stopped())
                throw ConversionStopped{};
            const long long record = reading->firstRecord + static_cast<long long>(reading->Size());
            const Values from = {SystemValue(input, conversion, record, line, 1),
                                 SystemValue(input, conversion, record, line, 2),
                                 SystemValue(input, conversion, record, line, 3)};
            for (int f = 0; f < kFieldsPerRecord; ++f) {
                AppendDelimited(reading->echo, line.fields[f]);
                reading->echo += ',';
            }
            reading->ends.push_back(reading->echo.size());
            reading->values.push_back(from);
            reading->lines.push_back(line.number);
            reading->names.push_back(line.fields[0].bytes);
            reading->encodings.push_back(input.encoding());
        } catch (const Error &e) {
            if (stopped())
                throw ConversionStopped{}; // a read given up for the stop
            refused = e;
            break;
        }
        if (reading->Size() == kRecordsPerBlock) {
            finish(); // the block before: its lines out, or its error
            converting = std::move(reading);
            reading = std::make_unique<RecordBlock>();
            reading->firstRecord =
                converting->firstRecord + static_cast<long long>(kRecordsPerBlock);
            pending = std::async(std::launch::async, ConvertBlock, std::cref(*converting),
                                 std::cref(conversion), std::cref(inputPath));
        }
    }
    if (stopped()) // while the last read waited
        throw ConversionStopped{};
    // The records before a refused one go first, and an earlier record's
    // refusal is the one said.
    finish();
    handOn(ConvertBlock(*reading, conversion, inputPath));
    if (refused)
        throw *refused;
}

} // namespace

std::optional<std::string> ProposedOutputName(const std::string &inputPath) {
    if (CharacterCount(inputPath) < 4)
        return std::nullopt;
    return DropLastCharacters(inputPath, 4) + "to";
}

void ConvertRecords(FieldReader &input, const Params &params,
                    const std::function<void(std::string_view)> &write, long long &converted,
                    Direction direction, const std::atomic<bool> *stop) {
    ConvertRecords(input, SystemConversion(PointSystems{}, params, direction), write, converted,
                   stop);
}

void ConvertRecords(FieldReader &input, const SystemConversion &conversion,
                    const std::function<void(std::string_view)> &write, long long &converted,
                    const std::atomic<bool> *stop) {
    if (!conversion.Cartesian()) {
        ConvertSystemRecords(input, conversion, write, converted, stop);
        return;
    }
    ConvertRecordsWith(input, ThroughSevenParameters(conversion.params(), conversion.direction()),
                       write, converted, stop);
}

BatchOutcome ConvertFile(const std::string &inputPath, const std::string &outputPath,
                         const Params &params, const std::function<bool()> &confirmReplace,
                         Direction direction, const std::atomic<bool> *stop) {
    return ConvertFile(inputPath, outputPath, SystemConversion(PointSystems{}, params, direction),
                       confirmReplace, stop);
}

BatchOutcome ConvertFile(FieldReader &input, const std::string &outputPath, const Params &params,
                         const std::function<bool()> &confirmReplace, Direction direction,
                         const std::atomic<bool> *stop) {
    return ConvertFile(input, outputPath, SystemConversion(PointSystems{}, params, direction),
                       confirmReplace, stop);
}

BatchOutcome ConvertFile(const std::string &inputPath, const std::string &outputPath,
                         const SystemConversion &conversion,
                         const std::function<bool()> &confirmReplace,
                         const std::atomic<bool> *stop) {
    FieldReader input = OpenInputFor(inputPath, outputPath);
    return ConvertFile(input, outputPath, conversion, confirmReplace, stop);
}

namespace {

// `wholeOrNothing`: a refused record leaves no output at all.
BatchOutcome ConvertFileWith(FieldReader &input, const std::string &outputPath,
                             const ConvertAll &convert, bool wholeOrNothing,
                             const std::function<bool()> &confirmReplace) {
    if (platform::KindOf(outputPath) == platform::Kind::Other)
        return ConvertIntoDevice(input, outputPath, convert);
    const bool outputExisted = platform::KindOf(outputPath) != platform::Kind::Missing;
    // Written beside the old output, which stays whole until the new one is
    // complete; a failure to write leaves no part of the new one.
    ReplacementFile output(outputPath);
    if (outputExisted && !IsEmptyFile(outputPath) && !confirmReplace())
        return BatchOutcome::Cancelled;
    if (input.hadUtf8Mark())
        output.writer().Write(kUtf8Mark); // the output keeps the input's encoding
    long long converted = 0;
    try {
        convert(
            input, [&](std::string_view lines) { output.writer().Write(lines); }, converted);
    } catch (const Error &e) {
        if (e.file() != input.path())
            throw; // the output's own failure names the output
        // A bad record: the records before it are the output, as a user of the
        // file expects; none, and the old output stays. Between coordinate
        // systems a refused value writes nothing at all: a file of grid
        // coordinates cut short at a wrong zone would pass for a whole one.
        if (wholeOrNothing)
            converted = 0;
        if (converted > 0)
            output.Commit();
        throw e.Restated(e.problem() + "。" + OutputNote(converted, outputExisted));
    }
    output.Commit();
    return BatchOutcome::Converted;
}

} // namespace

BatchOutcome ConvertFile(FieldReader &input, const std::string &outputPath,
                         const SystemConversion &conversion,
                         const std::function<bool()> &confirmReplace,
                         const std::atomic<bool> *stop) {
    return ConvertFileWith(
        input, outputPath,
        [&](FieldReader &in, const std::function<void(std::string_view)> &write,
            long long &converted) { ConvertRecords(in, conversion, write, converted, stop); },
        !conversion.Cartesian(), confirmReplace);
}

void ConvertRecords(FieldReader &input, const CalibrationFile &calibration,
                    const std::function<void(std::string_view)> &write, long long &converted,
                    Direction direction, const std::atomic<bool> *stop) {
    ConvertRecordsWith(input, ThroughCalibration(calibration, direction), write, converted, stop);
}

BatchOutcome ConvertFile(const std::string &inputPath, const std::string &outputPath,
                         const CalibrationFile &calibration,
                         const std::function<bool()> &confirmReplace, Direction direction,
                         const std::atomic<bool> *stop) {
    FieldReader input = OpenInputFor(inputPath, outputPath);
    return ConvertFile(input, outputPath, calibration, confirmReplace, direction, stop);
}

BatchOutcome ConvertFile(FieldReader &input, const std::string &outputPath,
                         const CalibrationFile &calibration,
                         const std::function<bool()> &confirmReplace, Direction direction,
                         const std::atomic<bool> *stop) {
    return ConvertFileWith(
        input, outputPath,
        [&](FieldReader &in, const std::function<void(std::string_view)> &write,
            long long &converted) {
            ConvertRecords(in, calibration, write, converted, direction, stop);
        },
        true, confirmReplace);
}

} // namespace kovarim
