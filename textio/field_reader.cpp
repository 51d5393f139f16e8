#include "textio/field_reader.h"

#include <algorithm>

#include "base/error.h"
#include "textio/number_text.h"
#include "textio/path_names.h"
#include "textio/platform.h"

namespace kovarim {
namespace {

constexpr std::size_t kBufferBytes = 1 << 16;

bool IsBlank(int c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

} // namespace

FieldReader::FieldReader(std::string path) : path_(std::move(path)), buffer_(kBufferBytes) {
    if (path_.empty())
        throw Error("文件名为空");
    RefuseDeviceName(path_);
    if (platform::KindOf(path_) == platform::Kind::Folder)
        throw Error::InFile(path_, "是文件夹，不是文件");
    std::string reason;
    file_ = platform::OpenForReading(path_, reason);
    if (file_ == nullptr)
        throw Error::InFile(path_, "无法打开文件（" + reason + "）");
    Start();
}

FieldReader::FieldReader(std::FILE *stream, std::string name)
    : path_(std::move(name)), file_(stream), buffer_(kBufferBytes) {
    Start();
}

void FieldReader::Start() {
    if (file_ == nullptr)
        throw Error::InFile(path_, "无法打开文件");
    try {
        Fill();
        const std::string_view start(buffer_.data(), size_);
        if (const char *unicode = UnreadableUnicode(start))
            throw Error::InFile(path_, UnreadableUnicodeMessage(unicode));
        if (start.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
            utf8Mark_ = true;
            encoding_ = EncodingDecision(/*utf8Mark=*/true);
            pos_ = kUtf8Mark.size();
        }
    } catch (...) {
        std::fclose(file_); // the destructor does not run for a constructor that throws
        file_ = nullptr;
        throw;
    }
}

FieldReader::~FieldReader() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void FieldReader::Fill() {
    if (pos_ < size_ || eof_)
        return;
    // A read that failed part way through the last block (a signal that
    // stops the work, an I/O error) is not tried again: the bytes it gave
    // were used, and now the failure counts. Tried again, a pipe's read
    // would wait on after the user had asked to stop.
    if (std::ferror(file_))
        throw Error::AtLine(path_, line_, "读取文件失败");
    size_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    pos_ = 0;
    if (size_ == 0) {
        if (std::ferror(file_))
            throw Error::AtLine(path_, line_, "读取文件失败");
        eof_ = true;
    }
}

int FieldReader::Peek() {
    Fill();
    return pos_ < size_ ? static_cast<unsigned char>(buffer_[pos_]) : EOF;
}

int FieldReader::Get() {
    int c = Peek();
    if (c != EOF)
        ++pos_;
    return c;
}

bool FieldReader::AtEnd() { return Peek() == EOF; }

// Consumes the separator that ends a field: a comma, a line end (CR LF as one)
// or nothing at the end of the file.
void FieldReader::ConsumeSeparator(Field &field) {
    int c = Get();
    afterComma_ = c == ',';
    field.endsLine = !afterComma_;
    if (c == '\r') {
        if (Peek() == '\n')
            Get();
        ++line_;
    } else if (c == '\n') {
        ++line_;
    }
}

Field FieldReader::Next() {
    Field field;
    Read(field);
    return field;
}

void FieldReader::Read(Field &field) {
    while (IsBlank(Peek()))
        Get();

    field.kind = FieldKind::Empty;
    field.bytes.clear();
    field.number = 0.0;
    field.outOfRange = false;
    field.line = line_;
    auto tooLong = [&] {
        return Error::AtLine(path_, field.line, "字段过长（超过 64 KB），文件可能不是文本文件");
    };
    auto append = [&](int c) {
        if (field.bytes.size() >= kMaxFieldBytes)
            throw tooLong();
        field.bytes += static_cast<char>(c);
    };

    if (Peek() == '"') {
        Get();
        for (int c = Get(); c != '"'; c = Get()) {
            // One record a line: a quote left open would swallow the lines
            // after it into one name.
            if (c == EOF || IsLineEnd(c))
                throw Error::AtLine(path_, field.line, "引号没有在本行内闭合");
            append(c);
        }
        field.kind = FieldKind::Text;
        TakeEncoding(field);
        // Whatever stands between the closing quote and the separator is ignored.
        while (Peek() != EOF && Peek() != ',' && !IsLineEnd(Peek()))
            Get();
        ConsumeSeparator(field);
        return;
    }

    // Most fields end inside the buffer: taken whole from there.
    const char *const start = buffer_.data() + pos_, *const end = buffer_.data() + size_;
    const char *stop = start;
    while (stop != end && *stop != ',' && *stop != '\r' && *stop != '\n')
        ++stop;
    const char *last = stop;
    while (last != start && IsBlank(last[-1]))
        --last;
    if (stop != end && static_cast<std::size_t>(last - start) <= kMaxFieldBytes) {
        field.bytes.assign(start, last);
        pos_ += static_cast<std::size_t>(stop - start);
    } else {
        // Blanks are held back until something else follows them: trailing
        // blanks are not part of the value and do not count toward its length.
        std::string blanks;
        bool blanksOverLimit = false;
        while (Peek() != EOF && Peek() != ',' && !IsLineEnd(Peek())) {
            const int c = Get();
            if (IsBlank(c)) {
                if (blanks.size() < kMaxFieldBytes)
                    blanks += static_cast<char>(c);
                else
                    blanksOverLimit = true;
                continue;
            }
            if (blanksOverLimit || field.bytes.size() + blanks.size() >= kMaxFieldBytes)
                throw tooLong();
            field.bytes += blanks;
            blanks.clear();
            append(c);
        }
    }
    ConsumeSeparator(field);

    if (field.bytes.empty())
        return; // Empty
    TakeEncoding(field);
    ParsedNumber parsed = ParseFieldNumber(field.bytes);
    if (parsed.status == NumberParse::Ok) {
        field.kind = FieldKind::Number;
        field.number = parsed.value;
    } else {
        field.kind = FieldKind::Text;
        field.outOfRange = parsed.status == NumberParse::OutOfRange;
    }
}

void FieldReader::TakeEncoding(const Field &field) {
    if (!encoding_.Take(field.bytes, field.line)) {
        const EncodingRefusal refusal = encoding_.Refusal();
        throw Error::AtLine(path_, refusal.line, refusal.message);
    }
}

bool FieldReader::NextRecord(std::size_t fields, const char *layout, Line &line) {
    Field spare; // the fields beyond those kept
    while (!AtEnd()) {
        line.number = line_;
        line.fieldCount = 0;
        bool firstEmpty = false;
        for (bool lineEnded = false; !lineEnded;) {
            const std::size_t at = static_cast<std::size_t>(line.fieldCount);
            if (at < fields && at >= line.fields.size())
                line.fields.emplace_back();
            Field &field = at < fields ? line.fields[at] : spare;
            Read(field);
            lineEnded = field.endsLine;
            if (++line.fieldCount == 1)
                firstEmpty = field.kind == FieldKind::Empty;
        }
        line.fields.resize(
            std::min<std::size_t>(fields, static_cast<std::size_t>(line.fieldCount)));
        // A blank line (nothing, or only blanks) is one empty field.
        if (line.fieldCount == 1 && firstEmpty)
            continue;
        if (static_cast<std::size_t>(line.fieldCount) != fields)
            throw Error::AtLine(path_, line.number,
                                "应有 " + std::to_string(fields) + " 个字段（" + layout +
                                    "），实际有 " + std::to_string(line.fieldCount) + " 个");
        return true;
    }
    return false;
}

} // namespace kovarim
