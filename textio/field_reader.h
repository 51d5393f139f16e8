#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
    long line = 0;           // the line on which the field starts, from 1
    bool endsLine = false;   // the field ended at a line end or at the end of the file
};

// Reads a text file as a stream of comma-separated fields, one field at a
// time, in bounded memory whatever the file's size.
//
//  - A comma or a line end (CR LF, a lone LF or a lone CR) ends a field.
//  - Blanks (spaces, tabs) before a field are skipped; trailing blanks of an
//    unquoted field are not part of it.
//  - A field that begins with a double quote runs to the next double quote;
//    commas and line ends inside belong to it. What stands between the
//    closing quote and the next separator is ignored.
//  - A blank line is one empty field.
class FieldReader {
  public:
    // Longest field accepted; a longer one is an error, so a file without
    // separators cannot make the reader hold it whole.
    static constexpr std::size_t kMaxFieldBytes = 64 * 1024;

    explicit FieldReader(std::string path); // throws Error when the file cannot be opened
    // Reads an open stream (taking it over) under the given name.
    FieldReader(std::FILE *stream, std::string name);
    ~FieldReader();
    FieldReader(const FieldReader &) = delete;
    FieldReader &operator=(const FieldReader &) = delete;

    // True when no byte is left. Readers ask this before a record only.
    bool AtEnd();

    // The next field. Throws Error for an unterminated quote, a field that is
    // too long, or a read failure. Call only when !AtEnd() or after a comma.
    Field Next();

    // True when the last field read ended at a comma (so another one follows,
    // possibly empty, even at the end of the file).
    bool AfterComma() const { return afterComma_; }

    const std::string &path() const { return path_; }
    long line() const { return line_; }

  private:
    int Peek();
    int Get();
    void Fill();
    void ConsumeSeparator(Field &field);

    std::string path_;
    std::FILE *file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool eof_ = false;
    long line_ = 1;
    bool afterComma_ = false;
};

} // namespace kovarim
