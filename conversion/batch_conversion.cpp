#include "conversion/batch_conversion.h"

#include <utility>

#include "base/error.h"
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
        AppendDelimitedNumber(line, field.number);
        break;
    case FieldKind::Empty:
        break;
    }
}

// Unlike a common-point coordinate, a quoted one counts here when its text is a
// number: the batch echoes each field by its kind and needs a number only for
// the arithmetic, where an empty field counts as 0 too.
double Coordinate(const FieldReader &reader, long long record, const Line &line, int index) {
    const Field &field = line.fields[index];
    if (field.kind == FieldKind::Number)
        return field.number;
    if (field.kind == FieldKind::Empty)
        return 0.0; // an empty field counts as 0
    const ParsedNumber parsed = ParseFieldNumber(field.bytes);
    if (parsed.status == NumberParse::Ok)
        return parsed.value;
    const Encoding encoding = reader.encoding();
    std::string what =
        RecordText(record) + "的坐标 " + kFieldNames[index] +
        QuotedForMessage(ToUtf8(field.bytes, encoding)) +
        (parsed.status == NumberParse::OutOfRange ? " 超出双精度数的范围" : " 不是数值");
    const std::string name = QuotedForMessage(ToUtf8(line.fields[0].bytes, encoding));
    if (!name.empty())
        what += "（点号" + name + "）";
    throw Error::AtField(reader.path(), field.line, index + 1, what);
}

// What became of the output when the input failed at a record.
std::string OutputNote(long long written, bool outputExisted) {
    if (written == 0)
        return outputExisted ? "没有写入任何记录，输出文件保持原样"
                             : "没有写入任何记录，也没有创建输出文件";
    return "前 " + std::to_string(written) + " 条记录已转换并写入输出文件";
}

} // namespace

std::optional<std::string> ProposedOutputName(const std::string &inputPath) {
    if (CharacterCount(inputPath) < 4)
        return std::nullopt;
    return DropLastCharacters(inputPath, 4) + "to";
}

void ConvertRecords(FieldReader &input, const Params &params,
                    const std::function<void(std::string_view)> &write, long long &converted,
                    Direction direction) {
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
    try {
        Line line;
        while (input.NextRecord(kFieldsPerRecord, "点号,x,y,z", line)) {
            const long long record = records + 1;
            const double X = Coordinate(input, record, line, 1);
            const double Y = Coordinate(input, record, line, 2);
            const double Z = Coordinate(input, record, line, 3);
            for (int f = 0; f < kFieldsPerRecord; ++f) {
                AppendDelimited(text, line.fields[f]);
                text += ',';
            }
            try {
                const Point3 to = TransformPoint(params, direction, X, Y, Z);
                AppendDelimitedNumber(text, RoundCoordinate(to.X));
                text += ',';
                AppendDelimitedNumber(text, RoundCoordinate(to.Y));
                text += ',';
                AppendDelimitedNumber(text, RoundCoordinate(to.Z));
            } catch (const Error &overflow) {
                throw Error::AtLine(inputPath, line.number,
                                    RecordText(record) + "：" + overflow.problem());
            }
            text += "\r\n";
            complete = text.size();
            records = record;
            if (complete >= kBlockBytes)
                flush();
        }
        flush();
        converted = records;
    } catch (const Error &e) {
        if (e.file() != inputPath)
            throw; // the output's own failure
        flush();   // the lines before the failure
        converted = records;
        throw;
    }
}

BatchOutcome ConvertFile(const std::string &inputPath, const std::string &outputPath,
                         const Params &params, const std::function<bool()> &confirmReplace,
                         Direction direction) {
    // Replacing the output would delete the input before it is read.
    if (platform::SameFile(inputPath, outputPath))
        throw Error::InFile(outputPath, "输出文件就是输入文件，不能替换它；请另选输出文件名");
    // The input first: when it cannot be read, the old output stays as it is.
    FieldReader input(inputPath);
    return ConvertFile(input, outputPath, params, confirmReplace, direction);
}

BatchOutcome ConvertFile(FieldReader &input, const std::string &outputPath, const Params &params,
                         const std::function<bool()> &confirmReplace, Direction direction) {
    const bool outputExisted = platform::KindOf(outputPath) != platform::Kind::Missing;
    TextFileWriter output(outputPath, TextFileWriter::Mode::Append);
    if (output.Length() > 0 && !confirmReplace()) {
        output.Close();
        return BatchOutcome::Cancelled;
    }
    // The old output is emptied only when the first line is ready (or the
    // input turns out empty), so a failure before it leaves the old one whole.
    bool started = false;
    auto start = [&] {
        if (started)
            return;
        output.Truncate();
        if (input.hadUtf8Mark())
            output.Write(kUtf8Mark); // the output keeps the input's encoding
        started = true;
    };
    long long converted = 0;
    try {
        ConvertRecords(
            input, params,
            [&](std::string_view lines) {
                start();
                output.Write(lines);
            },
            converted, direction);
    } catch (const Error &e) {
        if (!started && !outputExisted) {
            try {
                output.Close();
            } catch (const Error &) {
            }
            platform::Remove(outputPath); // leave no empty file of ours behind
        }
        if (e.file() != input.path())
            throw; // the output's own failure names the output
        throw e.Restated(e.problem() + "。" + OutputNote(converted, outputExisted));
    }
    start();
    output.Close();
    return BatchOutcome::Converted;
}

} // namespace kovarim
