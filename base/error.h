#pragma once

#include <stdexcept>
#include <string>

namespace kovarim {

// The one error type of the core. It carries where the problem is (file, line
// and field, each optional) and what it is, in Chinese, so that a front end can
// show it as it stands. Messages are UTF-8.
class Error : public std::runtime_error {
  public:
    // A problem tied to no file (an overflow in the arithmetic, say).
    explicit Error(std::string problem) : Error({}, 0, 0, std::move(problem)) {}

    static Error InFile(std::string file, std::string problem) {
        return Error(std::move(file), 0, 0, std::move(problem));
    }
    static Error AtLine(std::string file, long long line, std::string problem) {
        return Error(std::move(file), line, 0, std::move(problem));
    }
    static Error AtField(std::string file, long long line, int field, std::string problem) {
        return Error(std::move(file), line, field, std::move(problem));
    }

    // The same place with another problem text.
    Error Restated(std::string problem) const { return Error(file_, line_, field_, problem); }

    const std::string &file() const { return file_; }
    long long line() const { return line_; } // 1-based; 0 when not tied to a line
    int field() const { return field_; }     // 1-based; 0 when not tied to a field
    const std::string &problem() const { return problem_; }

  private:
    Error(std::string file, long long line, int field, std::string problem);

    std::string file_;
    long long line_;
    int field_;
    std::string problem_;
};

// A value for a message, quoted and with a space before it: “value”. Nothing
// for a value that is empty, longer than 40 characters, or holds a control
// character. It must be UTF-8: decode a file's bytes first (ToUtf8, which
// gives nothing for bytes that are not text), so that a message never shows junk.
std::string QuotedForMessage(const std::string &utf8);

} // namespace kovarim
