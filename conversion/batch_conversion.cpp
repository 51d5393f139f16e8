#include "conversion/batch_conversion.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "base/error.h"
#include "textio/field_reader.h"
#include "textio/number_text.h"
#include "textio/path_names.h"
#include "textio/text_file.h"

namespace kovarim {
namespace {

constexpr int kFieldsPerRecord = 4;
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
        line += FormatDelimitedNumber(field.number);
        break;
    case FieldKind::Empty:
        break;
    }
}

// Unlike a common-point coordinate, a quoted one counts here when its text is a
// number: the batch echoes each field by its kind and needs a number only for
// the arithmetic, where an empty field counts as 0 too.
double Coordinate(const std::string &path, long long record, const Field &field, int index) {
    if (field.kind == FieldKind::Number)
        return field.number;
    if (field.kind == FieldKind::Empty)
        return 0.0; // an empty field counts as 0
    const ParsedNumber parsed = ParseFieldNumber(field.bytes);
    if (parsed.status == NumberParse::Ok)
        return parsed.value;
    const std::string what =
        RecordText(record) + "的坐标 " + kFieldNames[index] + QuotedForMessage(field.bytes);
    throw Error::AtField(
        path, field.line, index + 1,
        what + (parsed.status == NumberParse::OutOfRange ? " 超出双精度数的范围" : " 不是数值"));
}

// Reads the input four fields to a record. A run of blank lines is held back
// as a count, so that blank lines at the very end can end the input cleanly
// while blank lines between records still count as empty fields.
class RecordReader {
  public:
    explicit RecordReader(const std::string &path) : reader_(path) {}

    // The next record, or false at the clean end of the input.
    bool Next(std::array<Field, kFieldsPerRecord> &record) {
        for (int f = 0; f < kFieldsPerRecord; ++f) {
            if (!NextField(record[f], f == 0))
                return false;
        }
        ++records_;
        return true;
    }

    long long records() const { return records_; }
    const std::string &path() const { return reader_.path(); }

  private:
    bool NextField(Field &field, bool recordStart) {
        if (recordStart && heldBlanks_ == 0 && !pending_) {
            // Count blank lines until something else comes, or the end.
            while (!reader_.AtEnd()) {
                Field next = reader_.Next();
                if (next.kind == FieldKind::Empty && next.endsLine) {
                    ++heldBlanks_;
                    continue;
                }
                pending_ = std::move(next);
                break;
            }
            if (!pending_)
                return false; // nothing but blank lines up to the end
        }
        if (heldBlanks_ > 0) {
            --heldBlanks_;
            field = Field{};
            field.line = reader_.line();
            field.endsLine = true;
            return true;
        }
        if (pending_) {
            field = std::move(*pending_);
            pending_.reset();
            return true;
        }
        if (reader_.AtEnd() && !reader_.AfterComma())
            throw Error::AtLine(reader_.path(), reader_.line(),
                                RecordText(records_ + 1) + "不完整：文件在记录中间结束");
        field = reader_.Next();
        return true;
    }

    FieldReader reader_;
    long long heldBlanks_ = 0;
    std::optional<Field> pending_;
    long long records_ = 0;
};

} // namespace

std::optional<std::string> ProposedOutputName(const std::string &inputPath) {
    if (CharacterCount(inputPath) < 4)
        return std::nullopt;
    return DropLastCharacters(inputPath, 4) + "to";
}

BatchOutcome ConvertFile(const std::string &inputPath, const std::string &outputPath,
                         const Params &params, const std::function<bool()> &confirmReplace) {
    // Replacing the output would delete the input before it is read.
    std::error_code unknown;
    if (std::filesystem::equivalent(inputPath, outputPath, unknown))
        throw Error::InFile(outputPath, "输出文件就是输入文件，不能替换它；请另选输出文件名");
    auto output = std::make_unique<TextFileWriter>(outputPath, TextFileWriter::Mode::Append);
    if (output->Length() > 0) {
        if (!confirmReplace()) {
            output->Close();
            return BatchOutcome::Cancelled;
        }
        output->Close();
        DeleteFile(outputPath);
        output = std::make_unique<TextFileWriter>(outputPath, TextFileWriter::Mode::Append);
    }

    RecordReader input(inputPath);
    std::array<Field, kFieldsPerRecord> record;
    std::string line;
    while (input.Next(record)) {
        const long long number = input.records();
        const double X = Coordinate(inputPath, number, record[1], 1);
        const double Y = Coordinate(inputPath, number, record[2], 2);
        const double Z = Coordinate(inputPath, number, record[3], 3);
        line.clear();
        for (int f = 0; f < kFieldsPerRecord; ++f) {
            AppendDelimited(line, record[f]);
            line += ',';
        }
        try {
            line += FormatDelimitedNumber(RoundCoordinate(TransformX(params, X, Y, Z)));
            line += ',';
            line += FormatDelimitedNumber(RoundCoordinate(TransformY(params, X, Y, Z)));
            line += ',';
            line += FormatDelimitedNumber(RoundCoordinate(TransformZ(params, X, Y, Z)));
        } catch (const Error &overflow) {
            throw Error::AtLine(inputPath, record[0].line,
                                RecordText(number) + "：" + overflow.problem());
        }
        line += "\r\n";
        output->Write(line);
    }
    output->Close();
    return BatchOutcome::Converted;
}

} // namespace kovarim
