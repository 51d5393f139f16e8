#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "textio/encoding.h"

namespace kovarim {

enum class FieldKind {
    Empty,  // nothing between two separators: counts as 0, written back as nothing
    Number, // an unquoted decimal number
    Text,   // a quoted field, or an unquoted one that is not a number
};

struct Field {
    FieldKind kind = FieldKind::Empty;
    std::string bytes;       // the value as read, quotes removed; file bytes unchanged
    double number = 0.0;     // the value of a Number field
    bool outOfRange = false; // a Text field that has the form of a number beyond the double range
    long long line = 0;      // the line on which the field starts, from 1
    bool endsLine = false;   // the field ended at a line end or at the end of the file
};

// The fields of one line that is not blank.
struct Line {
    long long number = 0;      // the line's number, from 1
    long long fieldCount = 0;  // how many fields the line holds
    std::vector<Field> fields; // its fields (the first of them, while reading)
};

// Reads a text file as a stream of comma-separated fields, one field at a
// time, in bounded memory whatever the file's size.
//
//  - A UTF-8 byte order mark at the start is not part of the first field; a
//    UTF-16 or UTF-32 file is refused (the constructor throws).
//  - The encoding is decided from the fields (EncodingDecision); a file that
//    turns out to be neither GBK nor UTF-8 is refused at the line where
//    that shows.
//  - A comma or a line end (CR LF, a lone LF or a lone CR) ends a field.
//  - Blanks (spaces, tabs) before a field are skipped; trailing blanks of an
//    unquoted field are not part of it, nor do they count toward its length.
//  - A field that begins with a double quote runs to the next double quote,
//    which must stand on the same line; commas inside belong to the field.
//    What stands between the closing quote and the next separator is ignored.
//  - A blank line is one empty field.
class FieldReader {
  public:
    // Longest field accepted; a longer one is an error, so a file without
    // separators cannot make the reader hold it whole.
    static constexpr std::size_t kMaxFieldBytes = 64 * 1024;

    // Opens the file and reads its first block. Throws Error when the file
    // cannot be opened or read, or is UTF-16 or UTF-32.
    explicit FieldReader(std::string path);
    // Reads an open stream (taking it over) under the given name.
    FieldReader(std::FILE *stream, std::string name);
    ~FieldReader();
    FieldReader(const FieldReader &) = delete;
    FieldReader &operator=(const FieldReader &) = delete;

    // True when no byte is left. Readers ask this before a record only.
    bool AtEnd();

    // The next field. Throws Error for a quote not closed on its line, a field
    // that is too long, an undecidable encoding, or a read failure. Call only when !AtEnd() or
    // after a comma.
    Field Next();
    // The same into `field`, reusing its storage.
    void Read(Field &field);

    // The next record: the next line that is not blank (empty, or only
    // blanks), which must hold exactly `fields` fields, named in `layout` for
    // the message ("点号,x,y,z"); otherwise Error names the file, the line and
    // how many it holds. False at the end.
    bool NextRecord(std::size_t fields, const char *layout, Line &line);

    // The file's encoding as far as it has been read (EncodingDecision); at
    // the end of the file it is the file's own.
    Encoding encoding() const { return encoding_.SoFar(); }
    // Where names are read as characters: why the file's encoding cannot be
    // told from its fields (EncodingDecision::Refusal), with the line; line
    // 0 when it can. Ask at the end of the file.
    EncodingRefusal EncodingRefusalAtEnd() const { return encoding_.Refusal(); }
    bool hadUtf8Mark() const { return utf8Mark_; }

    // True when the last field read ended at a comma (so another one follows,
    // possibly empty, even at the end of the file).
    bool AfterComma() const { return afterComma_; }

    const std::string &path() const { return path_; }
    long long line() const { return line_; }

  private:
    void Start();
    int Peek();
    int Get();
    void Fill();
    void ConsumeSeparator(Field &field);
    void TakeEncoding(const Field &field);

    std::string path_;
    std::FILE *file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool eof_ = false;
    long long line_ = 1;
    bool afterComma_ = false;
    EncodingDecision encoding_;
    bool utf8Mark_ = false;
};

} // namespace kovarim
